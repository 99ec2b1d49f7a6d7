#include "model/day.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <utility>

namespace model {
namespace {

    // A field that stays one field of one diary line: UTF-8 without control characters (C0,
    // DEL, C1) or the line and paragraph separators.
    bool plain(const std::string& text)
    {
        if (text.empty())
            return false;
        for (std::size_t i = 0; i < text.size();) {
            auto c = static_cast<unsigned char>(text[i]);
            int extra = c < 0x80 ? 0 : (c & 0xe0) == 0xc0 ? 1 : (c & 0xf0) == 0xe0 ? 2 : (c & 0xf8) == 0xf0 ? 3 : -1;
            if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size())
                return false;
            std::uint32_t code = extra == 0 ? c : c & (0x3fu >> extra);
            for (int k = 1; k <= extra; ++k) {
                auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
                if ((next & 0xc0) != 0x80)
                    return false;
                code = (code << 6) | (next & 0x3fu);
            }
            const std::uint32_t least[] = { 0, 0x80, 0x800, 0x10000 };
            if (code < least[extra] || code < 0x20 || (code >= 0x7f && code <= 0x9f) || code == 0x2028 || code == 0x2029
                || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff)
                return false;
            i += static_cast<std::size_t>(extra) + 1;
        }
        return true;
    }

    bool fixedNeverClosed(const std::string& id)
    {
        return std::find(std::begin(kFixedIdentifiers), std::end(kFixedIdentifiers), id) != std::end(kFixedIdentifiers);
    }

    const char* kAlwaysList = "Always list";
    const char* kCloseEveryApp = "Close every app";
    const char* kLowMemory = "Low memory";

} // namespace

Day::Day(double wallOrigin, Listener listener)
    : wallOrigin_(wallOrigin)
    , listener_(std::move(listener))
{
}

App& Day::app(const std::string& key)
{
    auto found = apps_.find(key);
    if (found == apps_.end())
        found = apps_.emplace(key, App { .key = key }).first;
    return found->second;
}

const App* Day::find(const std::string& key) const
{
    auto found = apps_.find(key);
    return found == apps_.end() ? nullptr : &found->second;
}

std::optional<std::string> Day::identifier(const std::string& key) const
{
    const App* found = find(key);
    if (found && !found->hasIdentifier)
        return std::nullopt;
    return key;
}

bool Day::listed(const std::vector<std::string>& list, const std::optional<std::string>& id) const
{
    return id && settingsExist_ && std::find(list.begin(), list.end(), *id) != list.end();
}

void Day::dropSuspect(const std::string& key)
{
    std::erase(suspects_, key);
}

void Day::emit(Event::Kind kind, const std::string& what)
{
    if (listener_)
        listener_(Event { now_, kind, what });
}

// --- memory and settings --------------------------------------------------------------------

double Day::freeMB() const
{
    if (pinnedFreeMB_)
        return *pinnedFreeMB_;
    double apps = 0;
    for (const std::string& key : switcher_)
        if (const App* found = find(key))
            apps += found->memoryMB;
    return std::max(0.0, totalMB_ - baseMB_ - apps);
}

// The kernel counts whole 4 KB pages; the library reads them as MB with four decimals and
// compares the whole part.
std::int64_t Day::freeFigure() const
{
    double pages = std::round(std::max(0.0, freeMB()) * 1024 * 1024 / 4096);
    pages = std::min(pages, double(std::numeric_limits<std::uint32_t>::max()));
    std::uint64_t bytes = static_cast<std::uint64_t>(pages) * 4096;
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", static_cast<double>(bytes) / static_cast<double>(1 << 20));
    long long whole = std::strtoll(text, nullptr, 10);
    return std::clamp<long long>(whole, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
}

std::int64_t Day::threshold() const
{
    if (!settingsExist_ || !ramValueKey_ || !ramValue_)
        return kDefaultThreshold;
    return std::clamp(*ramValue_, kMinimumThreshold, kMaximumThreshold);
}

void Day::setNever(std::vector<std::string> ids)
{
    settingsExist_ = true;
    never_ = std::move(ids);
}

void Day::setAlways(std::vector<std::string> ids)
{
    settingsExist_ = true;
    always_ = std::move(ids);
}

void Day::setThreshold(std::optional<std::int64_t> ramValue)
{
    settingsExist_ = true;
    ramValueKey_ = true;
    ramValue_ = ramValue;
}

void Day::setAlwaysKill(bool on)
{
    settingsExist_ = true;
    alwaysKill_ = on;
}

void Day::setLearnFromUse(bool on, bool readable)
{
    settingsExist_ = true;
    learnFromUse_ = on;
    learnFromUseReadable_ = readable;
    if (readable && !on) {
        ++diaryOffs_;
        diary_.clear();
        diaryFront_.reset();
        diaryEmptySince_ = 0;
    }
}

void Day::touchSettings()
{
    settingsExist_ = true;
}

// --- the device -----------------------------------------------------------------------------

void Day::install(const App& description)
{
    app(description.key) = description;
}

void Day::launch(const std::string& key)
{
    app(key);
    std::erase(switcher_, key);
    switcher_.insert(switcher_.begin(), key);
    top_ = key;
}

void Day::home()
{
    top_.reset();
}

void Day::memory(std::optional<double> totalMB, std::optional<double> baseMB)
{
    if (totalMB)
        totalMB_ = *totalMB;
    if (baseMB)
        baseMB_ = *baseMB;
}

void Day::pinFree(std::optional<double> freeMB)
{
    pinnedFreeMB_ = freeMB;
}

void Day::call(Call call)
{
    bool wasOn = callOn();
    call_ = call;
    // The diary hears of it before anything the call's end lets happen.
    if (wasOn != callOn() && diaryKept())
        diaryNote(callOn() ? "Call Start" : "Call End", "-", "");
    if (wasOn && !callOn())
        callEnded();
}

std::vector<std::string> Day::suspects() const
{
    return suspects_;
}

// --- the decision ---------------------------------------------------------------------------

void Day::stateChanged(const std::string& key, int state)
{
    app(key);
    if ((state == 4 || state == 2 || state == 3) && diaryKept()) {
        std::optional<std::string> id = identifier(key);
        if (id && plain(*id))
            diaryNote(state == 4 ? "Opened" : "Closed", *id, state == 4 ? "" : std::to_string(state));
    }
    if (std::find(suspects_.begin(), suspects_.end(), key) == suspects_.end())
        suspects_.push_back(key);
    std::optional<std::string> id = identifier(key);

    if (state == 4) {
        std::erase(heldApps_, key);
        dropSuspect(key);
        if (id) {
            callOff(*id);
            // Reopened: the close it undid, if within the window and still in the history.
            auto last = lastClose_.find(*id);
            bool returned = last != lastClose_.end() && now_ - last->second <= kReopenWindow;
            if (settingsExist_ && learnFromUse_)
                usage_.foreground(*id, returned, now_);
            if (last != lastClose_.end()) {
                double after = now_ - last->second;
                lastClose_.erase(last);
                auto newest = std::find_if(history_.rbegin(), history_.rend(),
                                           [&](const HistoryRecord& record) { return record.bundleID == *id; });
                if (after >= 0 && after <= kReopenWindow && newest != history_.rend()
                    && wallOrigin_ + now_ - newest->date <= kReopenWindow)
                    newest->reopenedAfter = after;
            }
        }
    }

    bool closePathToo = state == 2;
    if (state == 3) {
        const App& a = app(key);
        bool noTaskAssertions = !a.hasProcess || !a.taskAssertions;
        bool idle = !noTaskAssertions && a.audio && !a.location && !a.voip && !a.playing && !a.recording
            && !a.sockets && !a.watchdog;
        if (!idle)
            dropSuspect(key);
        closePathToo = noTaskAssertions || idle;
    }
    if (closePathToo)
        closePath(key);
}

bool Day::closePath(const std::string& key, bool lowMemoryStep)
{
    if (callOn()) {
        // Held once, at the place of its latest leave.
        std::erase(heldApps_, key);
        heldApps_.push_back(key);
        return false;
    }
    std::optional<std::string> id = identifier(key);
    if (!id)
        return false;
    if (listed(never_, id)) {
        dropSuspect(key);
        return false;
    }
    if (fixedNeverClosed(*id))
        return false;
    bool always = listed(always_, id);
    if (always || (settingsExist_ && alwaysKill_)) {
        schedule(key, *id, false, always ? kAlwaysList : kCloseEveryApp, std::nullopt);
        dropSuspect(key);
        return false;
    }
    if (!lowMemoryStep)
        return false;
    std::int64_t figure = freeFigure();
    if (figure > threshold())
        return true;
    if (suspects_.size() <= 1) {
        schedule(key, *id, false, kLowMemory, figure);
        dropSuspect(key);
        return true;
    }
    closeNextSuspect(figure);
    return true;
}

bool Day::closeNextSuspect(std::int64_t figure)
{
    if (settingsExist_ && learnFromUse_) {
        std::vector<std::string> closable;
        for (auto it = suspects_.begin(); it != suspects_.end();) {
            std::optional<std::string> id = identifier(*it);
            if (!id || listed(never_, id)) {
                it = suspects_.erase(it);
                continue;
            }
            if (!fixedNeverClosed(*id))
                closable.push_back(*it);
            ++it;
        }
        std::optional<std::size_t> chosen = usage_.pick(closable, now_);
        if (!chosen)
            return false;
        std::string key = closable[*chosen];
        std::erase(suspects_, key);
        schedule(key, *identifier(key), true, kLowMemory, figure);
        return true;
    }
    for (auto it = suspects_.begin(); it != suspects_.end();) {
        std::optional<std::string> id = identifier(*it);
        if (id && fixedNeverClosed(*id)) {
            ++it;
            continue;
        }
        if (!id || listed(never_, id)) {
            it = suspects_.erase(it);
            continue;
        }
        std::string key = *it;
        suspects_.erase(it);
        schedule(key, *id, true, kLowMemory, figure);
        return true;
    }
    return false;
}

} // namespace model
