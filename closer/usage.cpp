#include "closer/usage.h"

#include "contract/close_history.h"
#include "contract/usage.h"
#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/foundation/plist/property_list.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

extern "C" [[gnu::visibility("default")]] void SleepwrightShowUsage(void (*line)(const char*, double, void*),
                                                                    void* context)
{
    for (const auto& [bundleID, score] : Usage::shared().ranked())
        line(bundleID.c_str(), score, context);
}

Usage& Usage::shared()
{
    static Usage usage;
    return usage;
}

void Usage::load()
{
    namespace key = slv::usage::key;
    scores_.clear();
    uses_ = 0;
    // Regular files only, and small: a FIFO, a link or a huge file reads as nothing.
    auto bytes = sv::fs::readData(slv::usage::Path, kMaximumFileSize);
    auto value = bytes ? sv::plist::parse(bytes->data(), bytes->size()) : std::nullopt;
    const sv::Dictionary* file = value ? value->asDictionary() : nullptr;
    const sv::Value* uses = file ? sv::find(*file, key::Uses) : nullptr;
    const auto* count = uses ? std::get_if<std::int64_t>(&uses->storage()) : nullptr;
    const sv::Dictionary* apps = file ? sv::findDictionary(*file, key::Applications) : nullptr;
    if (!count || *count < 0 || !apps)
        return;
    uses_ = *count;
    for (const auto& [bundleID, entry] : *apps) {
        const sv::Dictionary* record = entry.asDictionary();
        const sv::Value* score = record ? sv::find(*record, key::Score) : nullptr;
        const sv::Value* at = record ? sv::find(*record, key::At) : nullptr;
        const auto* value = score ? std::get_if<double>(&score->storage()) : nullptr;
        const auto* when = at ? std::get_if<std::int64_t>(&at->storage()) : nullptr;
        // A score that is no finite positive figure, or from a future count, is not learned.
        if (value && when && std::isfinite(*value) && *value > 0 && *when >= 0 && *when <= uses_)
            scores_[bundleID] = Score { *value, *when };
    }
}

double Usage::likelihood(const std::string& bundleID) const
{
    auto found = scores_.find(bundleID);
    if (found == scores_.end())
        return 0;
    return found->second.value * std::exp2(-double(uses_ - found->second.at) / kHalfLifeUses);
}

void Usage::noteForeground(const std::string& bundleID)
{
    double earned = 1;
    auto closed = lastClose_.find(bundleID);
    if (closed != lastClose_.end()) {
        if ((sv::RunLoop::main().now() - closed->second).count() <= slv::history::kReopenWindow)
            earned = 2;
        lastClose_.erase(closed);
    }
    // Past the end of its range the count stands still: what was learned no longer fades.
    bool counted = uses_ < std::numeric_limits<std::int64_t>::max();
    double value = std::min(likelihood(bundleID) + earned, std::numeric_limits<double>::max());
    if (counted) {
        ++uses_;
        // Brought to the new count: the use just learned is one use old already.
        value *= std::exp2(-1 / kHalfLifeUses);
    }
    scores_[bundleID] = Score { value, uses_ };
    changed();
}

void Usage::noteForegroundUnlearned(const std::string& bundleID)
{
    lastClose_.erase(bundleID);
}

void Usage::noteClose(const std::string& bundleID)
{
    lastClose_[bundleID] = sv::RunLoop::main().now();
}

std::vector<std::pair<std::string, double>> Usage::ranked() const
{
    std::vector<std::pair<std::string, double>> all;
    for (const auto& [bundleID, score] : scores_)
        all.emplace_back(bundleID, likelihood(bundleID));
    std::sort(all.begin(), all.end(),
              [](const auto& a, const auto& b) { return a.second != b.second ? a.second > b.second : a.first < b.first; });
    return all;
}

void Usage::changed()
{
    if (saveTimer_)
        return;
    saveTimer_ = sv::RunLoop::main().scheduleTimer(kSaveDelay, [this] {
        saveTimer_.reset();
        save();
    });
}

// The file holding the count most likely of the ranked applications.
std::vector<std::uint8_t> Usage::fileOf(const std::vector<std::pair<std::string, double>>& ranked, std::size_t count) const
{
    namespace key = slv::usage::key;
    sv::Dictionary apps;
    for (std::size_t i = 0; i < count && i < ranked.size(); ++i) {
        const Score& score = scores_.at(ranked[i].first);
        apps[ranked[i].first] = sv::Value(sv::Dictionary { { std::string(key::Score), sv::Value(score.value) },
                                                           { std::string(key::At), sv::Value(score.at) } });
    }
    sv::Dictionary file { { std::string(key::Uses), sv::Value(uses_) },
                          { std::string(key::Applications), sv::Value(std::move(apps)) } };
    return sv::plist::serializeForFile(sv::Value(std::move(file)));
}

void Usage::save()
{
    auto ranked = this->ranked();
    std::size_t count = std::min(ranked.size(), kMostKept);
    auto bytes = fileOf(ranked, count);
    if (bytes.size() > kMaximumWrittenSize) {
        // Identifiers of unusual length: the largest count that fits, found by halving.
        std::size_t fits = 0, over = count;
        while (over - fits > 1) {
            std::size_t middle = fits + (over - fits) / 2;
            (fileOf(ranked, middle).size() <= kMaximumWrittenSize ? fits : over) = middle;
        }
        bytes = fileOf(ranked, fits);
    }
    bool written = !bytes.empty() && bytes.size() <= kMaximumWrittenSize
        && sv::fs::writeDataAtomically(slv::usage::Path, bytes.data(), bytes.size());
    if (!written && !reportedTrouble_) {
        reportedTrouble_ = true;
        sv::log("Sleep Vane: cannot keep what Learn From Use learned in %s", std::string(slv::usage::Path).c_str());
    }
}

void Usage::reset()
{
    if (saveTimer_)
        sv::RunLoop::main().cancelTimer(*saveTimer_);
    saveTimer_.reset();
    scores_.clear();
    lastClose_.clear();
    uses_ = 0;
    reportedTrouble_ = false;
}
