// What the home-screen host may call in the library by name (the names are the contract's:
// slv::history::kFlushSymbol, slv::diary::kFlushSymbol, slv::diary::kWriteNowSymbol), so that its
// `show history` and `show diary` see everything handed over so far.
#include "closer/close_history.h"
#include "closer/diary.h"
#include "closer/diary_writer.h"

extern "C" {

[[gnu::visibility("default")]] void SleepwrightFlushHistory()
{
    CloseHistory::shared().flush();
}

[[gnu::visibility("default")]] void SleepwrightFlushDiary()
{
    DiaryWriter::shared().flush();
}

[[gnu::visibility("default")]] void SleepwrightWriteDiaryNow()
{
    Diary::shared().writeNow();
}

} // extern "C"
