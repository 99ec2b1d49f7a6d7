#include "closer/diary_writer.h"

#include "closer/library_settings.h"
#include "platform/foundation/log.h"

#include <algorithm>
#include <utility>

namespace diary = slv::diary;

DiaryWriter& DiaryWriter::shared()
{
    static DiaryWriter writer;
    return writer;
}

DiaryWriter::DiaryWriter()
    : writer_([this](std::vector<Job>& jobs) { work(jobs); }, kMaximumWaiting)
{
}

void DiaryWriter::append(std::vector<diary::DiaryLine> events, std::int64_t stamp, Present present)
{
    if (!events.empty())
        hand({ false, std::move(events), stamp, present });
}

void DiaryWriter::remove()
{
    hand({ true, {}, 0, {} });
}

void DiaryWriter::hand(Job job)
{
    std::size_t weight = job.events.size();
    // Without its thread the diary is not kept; the home screen goes on.
    if (writer_.hand(std::move(job), weight) == Writer::Handed::NoThread)
        sv::log("Sleep Vane: cannot keep the diary in %s; use goes unrecorded", std::string(diary::Path).c_str());
}

void DiaryWriter::flush()
{
    writer_.flush();
}

void DiaryWriter::reset()
{
    flush();
    file_.reset();
    sessions_ = {};
    reportedTrouble_ = false;
    reportedRemove_ = false;
    startOffset_.reset();
    removeFailed_ = false;
}

void DiaryWriter::work(std::vector<Job>& jobs)
{
    // Under the lock an off has either not moved the stamp yet (and deletes after this write) or
    // has moved it (and what was noted before it goes nowhere).
    auto held = diary::lock(kLockTimeout);
    const std::int64_t stamp = diary::offStamp(slv::settingsSnapshot().get());
    // Events handed over meanwhile go out in one write.
    std::vector<diary::DiaryLine> events;
    Present present;
    for (Job& job : jobs) {
        if (job.remove) {
            events.clear();
            removeNow();
            continue;
        }
        if (!startOffset_)
            startOffset_ = job.present.wallMs - job.present.steadyMs;
        if (job.stamp != stamp) {
            file_.reset();
            continue;
        }
        std::move(job.events.begin(), job.events.end(), std::back_inserter(events));
        present = job.present;
    }
    if (events.empty())
        return;
    if (held)
        write(events, present);
    else
        trouble();
}

void DiaryWriter::removeNow()
{
    bool gone = diary::remove();
    file_.reset();
    removeFailed_ = !gone;
    if (gone) {
        reportedRemove_ = false;
    } else if (!std::exchange(reportedRemove_, true)) {
        sv::log("Sleep Vane: cannot delete the diary in %s; tried again at the next use", std::string(diary::Path).c_str());
    }
}

void DiaryWriter::trouble()
{
    file_.reset();
    if (reportedTrouble_)
        return;
    reportedTrouble_ = true;
    sv::log("Sleep Vane: cannot keep the diary in %s; use goes unrecorded", std::string(diary::Path).c_str());
}

bool DiaryWriter::setAside(const std::string& why)
{
    // One is kept: whatever was set aside before, file or folder (which a rename would not
    // replace), gives way.
    bool moved = sv::fs::removeTree(diary::SetAsidePath) && sv::fs::renameFile(diary::Path, diary::SetAsidePath);
    if (moved)
        sv::log("Sleep Vane: the diary in %s was %s; set aside as %s and begun anew", std::string(diary::Path).c_str(),
                why.c_str(), std::string(diary::SetAsidePath).c_str());
    return moved;
}

bool DiaryWriter::readLines(std::vector<Stored>& lines, sv::fs::FileInfo& info, bool& torn, std::string& hostile)
{
    using Kind = sv::fs::FileInfo::Kind;
    info = sv::fs::fileInfo(diary::Path);
    switch (info.kind) {
    case Kind::Missing: return true;
    case Kind::Link: hostile = "a link"; return true;
    case Kind::Fifo: hostile = "a FIFO"; return true;
    case Kind::Folder: hostile = "a folder"; return true;
    case Kind::Other: hostile = "no regular file"; return true;
    case Kind::Regular: break;
    }
    if (info.links != 1) {
        hostile = "a link";
        return true;
    }
    if (info.size > diary::kMaximumSize) {
        static_assert(diary::kMaximumSize % (1024 * 1024) == 0, "the size is said in whole MB");
        hostile = "over " + std::to_string(diary::kMaximumSize / (1024 * 1024)) + " MB";
        return true;
    }
    auto bytes = sv::fs::readData(diary::Path, diary::kMaximumSize);
    sv::fs::FileInfo after = sv::fs::fileInfo(diary::Path);
    // Changed while it was read: not what we think it is.
    if (!bytes || !after.sameFile(info) || after.size != bytes->size())
        return false;
    info = after;
    std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    std::size_t end = text.rfind('\n');
    std::string_view whole = end == std::string_view::npos ? std::string_view {} : text.substr(0, end + 1);
    torn = whole.size() != text.size();
    std::string header = std::string(diary::Header) + "\n";
    if (whole.empty()) {
        // Nothing but a header cut short: a diary just begun.
        if (!std::string_view(header).starts_with(text))
            hostile = "not a diary";
        torn = true;
        return true;
    }
    if (!whole.starts_with(header)) {
        hostile = "not a diary";
        return true;
    }
    whole.remove_prefix(header.size());
    while (!whole.empty()) {
        std::size_t newline = whole.find('\n');
        std::string_view line = whole.substr(0, newline);
        diary::Timestamp stamp;
        auto parsed = diary::parseLine(line, &stamp);
        if (!parsed) {
            hostile = "not a diary";
            lines.clear();
            return true;
        }
        lines.push_back({ std::string(whole.substr(0, newline + 1)), stamp.day, parsed->session, parsed->timeMs });
        whole.remove_prefix(newline + 1);
    }
    return true;
}

DiaryWriter::Load DiaryWriter::load(std::optional<std::vector<Stored>>& lines)
{
    std::vector<Stored> read;
    FileState state;
    std::string hostile;
    if (!readLines(read, state.info, state.torn, hostile))
        return Load::Retry;
    if (!hostile.empty()) {
        if (!setAside(hostile))
            return Load::Trouble;
        state = FileState {};
        state.info = sv::fs::fileInfo(diary::Path);
        if (state.info.kind != sv::fs::FileInfo::Kind::Missing)
            return Load::Retry;
        read.clear();
    }
    state.missing = state.info.kind == sv::fs::FileInfo::Kind::Missing;
    for (const Stored& line : read)
        state.hold(line.day);
    // The home screen's start counts as nothing in front since the diary's last line.
    sessions_ = {};
    if (!read.empty())
        sessions_ = { read.back().session, std::nullopt, read.back().timeMs };
    file_ = state;
    lines = std::move(read);
    return Load::Ready;
}

std::vector<DiaryWriter::Stored> DiaryWriter::linesOf(const std::vector<diary::DiaryLine>& events, Sessions& sessions) const
{
    std::vector<Stored> fresh;
    for (const diary::DiaryLine& event : events) {
        Sessions next = sessions;
        bool first = next.session == 0;
        if (first)
            next.session = 1;
        else if (event.kind == diary::Kind::Opened && !next.front && event.timeMs - next.emptySince >= diary::kNewSession)
            next.session = next.session >= diary::kMaximumSession ? 1 : next.session + 1;
        if (event.kind == diary::Kind::Opened) {
            next.front = event.app;
        } else if (event.kind == diary::Kind::Closed && next.front == event.app) {
            next.front.reset();
            next.emptySince = event.timeMs;
        } else if (first) {
            next.emptySince = event.timeMs;
        }
        diary::DiaryLine line = event;
        line.session = next.session;
        long day = 0;
        auto text = diary::lineOf(line, &day);
        if (!text)
            continue;
        fresh.push_back({ std::move(*text), day, next.session, event.timeMs });
        sessions = std::move(next);
    }
    return fresh;
}

long DiaryWriter::trimDay(const std::vector<Stored>& fresh, const Present& present)
{
    long day = fresh.back().day;
    // The date by the clock the home screen started with: a clock moved since moves it not.
    std::int64_t offset = startOffset_.value_or(present.wallMs - present.steadyMs);
    auto started = diary::dayOf(present.steadyMs + offset);
    return started ? std::min(day, *started) : day;
}

bool DiaryWriter::rewrite(const std::vector<Stored>& old, const std::vector<Stored>& fresh, long present)
{
    // Dated after the present: written before the clock went back, kept.
    std::vector<const Stored*> kept;
    for (const auto* lines : { &old, &fresh })
        for (const Stored& line : *lines)
            if (line.day > present - diary::kDays)
                kept.push_back(&line);
    std::size_t size = diary::Header.size() + 1;
    long newest = present;
    for (const Stored* line : kept) {
        size += line->text.size();
        newest = std::max(newest, line->day);
    }
    // Over the size: the oldest date goes first; of the newest, the oldest lines.
    std::size_t from = 0;
    while (size > diary::kMaximumSize && from < kept.size()) {
        long oldest = newest;
        for (std::size_t i = from; i < kept.size(); ++i)
            oldest = std::min(oldest, kept[i]->day);
        if (oldest == newest) {
            size -= kept[from++]->text.size();
            continue;
        }
        for (std::size_t i = from; i < kept.size(); ++i)
            size -= kept[i]->day == oldest ? kept[i]->text.size() : 0;
        kept.erase(std::remove_if(kept.begin() + static_cast<std::ptrdiff_t>(from), kept.end(),
                                  [oldest](const Stored* line) { return line->day == oldest; }),
                   kept.end());
    }
    std::string text = std::string(diary::Header) + "\n";
    text.reserve(size);
    FileState state;
    for (std::size_t i = from; i < kept.size(); ++i) {
        text += kept[i]->text;
        state.hold(kept[i]->day);
    }
    if (!sv::fs::writeDataAtomically(diary::Path, text.data(), text.size()))
        return false;
    state.info = sv::fs::fileInfo(diary::Path);
    if (state.info.kind != sv::fs::FileInfo::Kind::Regular || state.info.size != text.size())
        return false;
    file_ = state;
    return true;
}

void DiaryWriter::write(const std::vector<diary::DiaryLine>& events, const Present& present)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::optional<std::vector<Stored>> old;
        if (!file_) {
            Load loaded = load(old);
            if (loaded == Load::Trouble)
                break;
            if (loaded == Load::Retry)
                continue;
        }
        Sessions sessions = sessions_;
        std::vector<Stored> fresh = linesOf(events, sessions);
        if (fresh.empty())
            return;
        long day = trimDay(fresh, present);
        std::string bytes;
        for (const Stored& line : fresh)
            bytes += line.text;
        FileState& file = *file_;
        bool trim = file.missing || file.torn || file.info.size + bytes.size() > diary::kMaximumSize
            || (file.hasLines && file.oldestDay <= day - diary::kDays);
        if (!trim) {
            switch (sv::fs::appendData(diary::Path, bytes.data(), bytes.size(), file.info)) {
            case sv::fs::AppendResult::Written:
                file.info.size += bytes.size();
                for (const Stored& line : fresh)
                    file.hold(line.day);
                sessions_ = std::move(sessions);
                return;
            case sv::fs::AppendResult::Changed:
                file_.reset();
                continue;
            case sv::fs::AppendResult::Failed:
                // A part may be in: the next turn reads the file again and cuts it.
                trouble();
                return;
            }
        }
        if (!old && !file.missing) {
            // The lines to keep, from the very file this thread last left.
            std::vector<Stored> read;
            sv::fs::FileInfo info;
            bool torn = false;
            std::string hostile;
            if (!readLines(read, info, torn, hostile) || !hostile.empty() || !info.sameFile(file.info)
                || info.size != file.info.size) {
                file_.reset();
                continue;
            }
            old = std::move(read);
        }
        if (!rewrite(old ? *old : std::vector<Stored> {}, fresh, day))
            break;
        sessions_ = std::move(sessions);
        return;
    }
    trouble();
}
