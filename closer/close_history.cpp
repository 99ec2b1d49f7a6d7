#include "closer/close_history.h"

#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/foundation/run_loop.h"

#include <algorithm>

namespace {

// The file's entries, an empty list for a missing file, or nothing when there is something there
// that must not be written over.
std::optional<sv::Array> readEntries()
{
    auto value = sv::plist::readFile(slv::history::Path);
    if (!value)
        return sv::fs::exists(slv::history::Path) ? std::nullopt : std::optional(sv::Array {});
    const sv::Array* entries = value->asArray();
    return entries ? std::optional(*entries) : std::nullopt;
}

} // namespace

CloseHistory& CloseHistory::shared()
{
    static CloseHistory history;
    return history;
}

CloseHistory::CloseHistory()
    : writer_([this](std::vector<Change>& changes) { write(changes); })
{
}

void CloseHistory::recordClose(std::string_view bundleID, std::string_view reason,
                               std::optional<std::int64_t> freeMemory)
{
    lastClose_[std::string(bundleID)] = sv::RunLoop::main().now();
    slv::history::Record record { std::string(bundleID), slv::history::dateOf(sv::RunLoop::main().wallNow()),
                                  std::string(reason), freeMemory, std::nullopt };
    hand({ std::move(record), {}, 0, {} });
}

void CloseHistory::noteForeground(std::string_view bundleID)
{
    auto found = lastClose_.find(std::string(bundleID));
    if (found == lastClose_.end())
        return;
    double after = (sv::RunLoop::main().now() - found->second).count();
    lastClose_.erase(found);
    if (after >= 0 && after <= slv::history::kReopenWindow)
        hand({ std::nullopt, std::string(bundleID), after, slv::history::dateOf(sv::RunLoop::main().wallNow()) });
}

void CloseHistory::hand(Change change)
{
    if (writer_.hand(std::move(change)) == Writer::Handed::NoThread)
        sv::log("Sleep Vane: cannot keep the close history in %s; closes go unrecorded",
                std::string(slv::history::Path).c_str());
}

void CloseHistory::flush()
{
    writer_.flush();
}

void CloseHistory::reset()
{
    flush();
    lastClose_.clear();
    reportedTrouble_ = false;
}

void CloseHistory::apply(sv::Array& entries, const Change& change)
{
    namespace key = slv::history::key;
    if (change.close) {
        entries.push_back(slv::history::valueOf(*change.close));
        if (entries.size() > slv::history::kLimit)
            entries.erase(entries.begin(), entries.end() - slv::history::kLimit);
        return;
    }
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        sv::Dictionary* record = entry->asDictionary();
        const std::string* bundleID = record ? sv::findString(*record, key::BundleID) : nullptr;
        if (bundleID && *bundleID == change.bundleID) {
            const sv::Value* date = sv::find(*record, key::Date);
            const auto* closedAt = date ? std::get_if<sv::Date>(&date->storage()) : nullptr;
            double before = closedAt ? change.reopenedAt.secondsSince2001 - closedAt->secondsSince2001 : -1;
            // The file keeps dates to the whole second: a close 59.7 s ago may read as 60.5 s.
            if (before >= 0 && before < slv::history::kReopenWindow + 1)
                (*record)[std::string(key::ReopenedAfter)] = sv::Value(change.reopenedAfter);
            return;
        }
    }
}

void CloseHistory::write(const std::vector<Change>& changes)
{
    // One read and one write for everything handed over meanwhile.
    auto entries = readEntries();
    if (entries)
        for (const Change& change : changes)
            apply(*entries, change);
    if ((!entries || !sv::plist::writeFile(slv::history::Path, sv::Value(std::move(*entries)))) && !reportedTrouble_) {
        reportedTrouble_ = true;
        sv::log("Sleep Vane: cannot keep the close history in %s; closes go unrecorded",
                std::string(slv::history::Path).c_str());
    }
}
