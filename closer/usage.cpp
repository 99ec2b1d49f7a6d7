#include "closer/usage.h"

#include "contract/history_file.h"
#include "contract/usage_file.h"
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
    next_.clear();
    front_.reset();
    footprint_.clear();
    trials_.clear();
    uses_ = 0;
    setHalvings(0, kHeadStart);
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
        const sv::Value* footprint = record ? sv::find(*record, key::Footprint) : nullptr;
        const auto* megabytes = footprint ? std::get_if<std::int64_t>(&footprint->storage()) : nullptr;
        if (megabytes && *megabytes > 0 && *megabytes <= kLargestFootprint)
            footprint_[bundleID] = *megabytes;
        // Successors: a file of an earlier library has none; a row we would never write is not learned.
        const sv::Dictionary* next = record ? sv::findDictionary(*record, key::Next) : nullptr;
        if (!next || next->size() > kSuccessorsKept)
            continue;
        std::map<std::string, std::int64_t> row;
        for (const auto& [successor, counted] : *next) {
            const auto* times = std::get_if<std::int64_t>(&counted.storage());
            if (times && *times > 0 && *times < kSuccessorLimit)
                row[successor] = *times;
        }
        if (!row.empty())
            next_[bundleID] = std::move(row);
    }
    const sv::Value* front = sv::find(*file, key::Front);
    if (const auto* text = front ? std::get_if<std::string>(&front->storage()) : nullptr)
        front_ = *text;
    // Weights a library before the experts never wrote, or no two whole numbers: a new phone's.
    const sv::Dictionary* weights = sv::findDictionary(*file, key::Weights);
    const sv::Value* rules = weights ? sv::find(*weights, key::RulesExpert) : nullptr;
    const sv::Value* score = weights ? sv::find(*weights, key::ScoreExpert) : nullptr;
    const auto* rulesHalvings = rules ? std::get_if<std::int64_t>(&rules->storage()) : nullptr;
    const auto* scoreHalvings = score ? std::get_if<std::int64_t>(&score->storage()) : nullptr;
    if (rulesHalvings && scoreHalvings && *rulesHalvings >= 0 && *scoreHalvings >= 0)
        setHalvings(*rulesHalvings, *scoreHalvings);
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
    if (front_ && *front_ != bundleID) {
        auto& row = next_[*front_];
        auto found = row.find(bundleID);
        if (found == row.end()) {
            // A newcomer takes the place of the lowest count, of equals the first identifier.
            if (row.size() >= kSuccessorsKept)
                row.erase(std::min_element(row.begin(), row.end(),
                                           [](const auto& a, const auto& b) { return a.second < b.second; }));
            row.emplace(bundleID, 1);
        } else if (++found->second >= kSuccessorLimit) {
            // Counts that saturate: the row halves, and what falls to 0 leaves it.
            for (auto& entry : row)
                entry.second /= 2;
            std::erase_if(row, [](const auto& entry) { return entry.second == 0; });
        }
    }
    front_ = bundleID;
    // Back within the window after an expert named it: that expert would have caused a restart.
    auto now = sv::RunLoop::main().now();
    std::erase_if(trials_, [&](const Trial& trial) { return (now - trial.at).count() > kRestartWindow; });
    // Once a return, however many of an expert's trials named it.
    for (int expert = 0; expert < 2; ++expert) {
        bool named = false;
        for (Trial& trial : trials_)
            if (trial.name[expert] && *trial.name[expert] == bundleID) {
                named = true;
                trial.name[expert].reset();
            }
        if (named)
            countRestart(expert);
    }
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

void Usage::noteFreed(const std::string& bundleID, std::int64_t freeBefore, std::int64_t freeAfter)
{
    if (freeAfter <= freeBefore)
        return;
    std::int64_t rise = freeAfter - freeBefore;
    auto [found, first] = footprint_.try_emplace(bundleID, rise);
    if (!first)
        found->second = found->second / 2 + rise / 2 + (found->second % 2 + rise % 2) / 2;
    changed();
}

std::int64_t Usage::footprint(const std::string& bundleID) const
{
    auto found = footprint_.find(bundleID);
    return found == footprint_.end() ? 0 : found->second;
}

void Usage::setHalvings(std::int64_t rules, std::int64_t score)
{
    std::int64_t least = std::min(rules, score);
    halvings_[0] = std::min(rules - least, kMostHalvings);
    halvings_[1] = std::min(score - least, kMostHalvings);
}

void Usage::countRestart(int expert)
{
    ++halvings_[expert];
    setHalvings(halvings_[0], halvings_[1]);
    changed();
}

std::optional<std::size_t> Usage::pick(const std::vector<std::string>& closable)
{
    if (closable.empty())
        return std::nullopt;
    // What tends to follow the application last in front, as a share of its successors.
    static const std::map<std::string, std::int64_t> kNone;
    auto found = front_ ? next_.find(*front_) : next_.end();
    const auto& row = found != next_.end() ? found->second : kNone;
    std::int64_t total = 0;
    for (const auto& entry : row)
        total += entry.second;
    // An application none of our closes has measured counts as the mean of those measured.
    std::int64_t sum = 0;
    for (const auto& entry : footprint_)
        sum += entry.second;
    std::int64_t unmeasured = footprint_.empty() ? 1 : sum / std::int64_t(footprint_.size());
    // The score's: the two left last stay while another may go; of the others, one whose close
    // frees no less than the oldest's and whose likelihood is under half the oldest's, the least
    // likely; else the oldest.
    auto likely = [&](const std::string& bundleID) {
        double value = likelihood(bundleID);
        if (auto next = row.find(bundleID); next != row.end())
            value += kFollowWeight * (double(next->second) / double(total));
        return value + 1;
    };
    auto megabytes = [&](const std::string& bundleID) {
        std::int64_t learned = footprint(bundleID);
        return std::max<std::int64_t>(1, learned > 0 ? learned : unmeasured);
    };
    std::size_t n = closable.size();
    std::size_t open = n > kRecentKept ? n - kRecentKept : std::min<std::size_t>(n, 1);
    std::size_t score = 0;
    double lowest = likely(closable[0]);
    std::int64_t least = megabytes(closable[0]);
    for (std::size_t i = 1; i < open; ++i) {
        if (megabytes(closable[i]) < least)
            continue;
        if (double margin = likely(closable[i]) * kScoreMargin; margin < lowest) {
            score = i;
            lowest = margin;
        }
    }
    // The rules' is the oldest. Where the two differ, each name waits for its restart.
    if (score != 0) {
        auto now = sv::RunLoop::main().now();
        std::erase_if(trials_, [&](const Trial& trial) { return (now - trial.at).count() > kRestartWindow; });
        trials_.push_back(Trial { now, { closable[0], closable[score] } });
    }
    return trustsTheScore() ? score : 0;
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
        const std::string& bundleID = ranked[i].first;
        const Score& score = scores_.at(bundleID);
        sv::Dictionary record { { std::string(key::Score), sv::Value(score.value) },
                                { std::string(key::At), sv::Value(score.at) } };
        if (std::int64_t megabytes = footprint(bundleID); megabytes > 0)
            record[std::string(key::Footprint)] = sv::Value(megabytes);
        if (auto row = next_.find(bundleID); row != next_.end()) {
            sv::Dictionary next;
            for (const auto& [successor, counted] : row->second)
                next[successor] = sv::Value(counted);
            record[std::string(key::Next)] = sv::Value(std::move(next));
        }
        apps[bundleID] = sv::Value(std::move(record));
    }
    sv::Dictionary file { { std::string(key::Uses), sv::Value(uses_) },
                          { std::string(key::Applications), sv::Value(std::move(apps)) } };
    if (front_)
        file[std::string(key::Front)] = sv::Value(*front_);
    file[std::string(key::Weights)] = sv::Value(sv::Dictionary { { std::string(key::RulesExpert), sv::Value(halvings_[0]) },
                                                                 { std::string(key::ScoreExpert), sv::Value(halvings_[1]) } });
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
    next_.clear();
    front_.reset();
    lastClose_.clear();
    footprint_.clear();
    trials_.clear();
    setHalvings(0, kHeadStart);
    uses_ = 0;
    reportedTrouble_ = false;
}
