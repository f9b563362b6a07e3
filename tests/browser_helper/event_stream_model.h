// What the helper must decide, written from the blocking rules, for the
// event-stream test: the new-window decision, the click stamps and the HTML
// dialog watch of each browser window.
//
// Times come from the browser stand-in as brackets: the helper took "now"
// somewhere between lo and hi (local milliseconds of the day). A comparison
// with a grace period that the bracket straddles allows either outcome; the
// dialog watch, whose state depends on such outcomes, is kept as the set of
// states still possible, pruned by what the stand-in reports.
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace vendrolix::stream {

struct Stamp {
  bool set = false;  // false: the stamp is 0
  long lo = 0, hi = 0;
  bool unknown = false;  // a click that went astray: 0 or any time
  bool operator==(const Stamp& o) const {
    return unknown == o.unknown && set == o.set && (!set || (lo == o.lo && hi == o.hi));
  }
};

inline Stamp Unknown() {
  Stamp s;
  s.unknown = true;
  return s;
}

inline Stamp At(long lo, long hi) { return Stamp{true, lo, hi}; }

// How "now - stamp" compares with a limit when now lies in [lo, hi].
enum class Within { Yes, No, Either };
inline Within ElapsedWithin(const Stamp& stamp, long lo, long hi, long limit) {
  // A stamp of 0 makes the elapsed time the whole time of day: past any
  // limit (except in the first seconds after midnight).
  if (stamp.unknown) return Within::Either;
  if (!stamp.set) return Within::No;
  if (hi - stamp.lo <= limit) return Within::Yes;
  if (lo - stamp.hi > limit) return Within::No;
  return Within::Either;
}

inline bool ContainsNoCase(const std::string& text, const std::string& part) {
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    return s;
  };
  return lower(text).find(lower(part)) != std::string::npos;
}

// Levels as the new-window decision and the dialog watch see them: any other
// non-zero level acts as 2.
inline int Effective(int level) { return (level >= 0 && level <= 4) ? level : 2; }

inline long RoundedHalf(long v) { return (v + 1) / 2; }
inline long RoundedThird(long v) { return (v + 1) / 3; }

// Grace period of a new-window request.
inline long NewWindowGrace(int count, bool dialogFrame, int level) {
  long base = count >= 0 && count <= 2 ? 600 : count <= 4 ? 700 : count <= 6 ? 800 : count <= 8 ? 900 : 1000;
  if (dialogFrame) base += RoundedHalf(base);
  if (level == 1) base *= 2;
  if (level == 3) base -= RoundedThird(base);
  return base;
}

enum class Trigger { DialogMessage, UserMessage };

inline long DialogGrace(Trigger trigger, int level) {
  if (trigger == Trigger::DialogMessage) return level == 1 ? 5000 : level == 3 ? 1200 : 2500;
  return level == 1 ? 2000 : 1200;
}

// The dialog watch of one window: one possible state.
struct Watch {
  int userCount = 0;
  bool dialogFrame = false;
  Stamp buttonUp;
  Stamp dialogStamp;
  std::string list, previous;
  std::set<std::string> closes;  // dialogs this state says were closed in the current step
  bool operator==(const Watch& o) const {
    return userCount == o.userCount && dialogFrame == o.dialogFrame && buttonUp == o.buttonUp &&
           dialogStamp == o.dialogStamp && list == o.list && previous == o.previous && closes == o.closes;
  }
};

struct Dialog {
  std::string owner;
  std::string tag;  // "@" and the handle in decimal
  bool open = true;
};

struct Window {
  bool firstNavigation = true;
  Stamp click;
  std::string location, currentUrl;
  std::vector<Watch> watches;
};

class Model {
 public:
  std::vector<std::string> whiteList;
  int level = 1;
  std::map<std::string, Window> windows;
  std::map<std::string, Dialog> dialogs;
  bool ctrl = false;

  // The stream's keywords have no "/": only the host counts, never what a
  // page puts after it.
  bool Listed(const std::string& url) const {
    const std::size_t start = url.find("://");
    if (start == std::string::npos) return false;
    const std::string host = url.substr(start + 3, url.find_first_of("/?#", start + 3) - start - 3);
    return std::any_of(whiteList.begin(), whiteList.end(), [&](const std::string& e) { return ContainsNoCase(host, e); });
  }
  int Count() const { return static_cast<int>(windows.size()); }
  bool AnyDialogOpen() const {
    return std::any_of(dialogs.begin(), dialogs.end(), [](const auto& d) { return d.second.open; });
  }

  void Open(const std::string& w, long lo, long hi) {
    Window window;
    window.click = At(lo, hi);
    Watch watch;
    watch.dialogStamp = At(lo, hi);
    window.watches.push_back(watch);
    windows[w] = window;
  }

  void Navigate(const std::string& w, const std::string& url) {
    Window& window = windows.at(w);
    window.location = url;
    if (window.firstNavigation) {
      window.click = Stamp{};
      window.firstNavigation = false;
    }
  }

  void Title(const std::string& w) {
    Window& window = windows.at(w);
    window.click = Stamp{};
    window.currentUrl = window.location;
  }

  // The outcomes a new-window request may have: {opened?} as a set.
  std::set<bool> NewWindow(const std::string& w, long lo, long hi) {
    Window& window = windows.at(w);
    const int l = Effective(level);
    if (l == 0) return {true};
    window.currentUrl = window.location;
    if (Listed(window.currentUrl) || ctrl) {
      window.click = Stamp{};
      return {true};
    }
    if (l == 4 || (!window.click.set && !window.click.unknown)) {
      window.click = Stamp{};
      return {false};
    }
    std::set<bool> outcomes;
    for (const Watch& watch : window.watches) {
      switch (ElapsedWithin(window.click, lo, hi, NewWindowGrace(Count(), watch.dialogFrame, l))) {
        case Within::Yes: outcomes.insert(true); break;
        case Within::No: outcomes.insert(false); break;
        case Within::Either: outcomes.insert(true); outcomes.insert(false); break;
      }
    }
    window.click = Stamp{};
    return outcomes;
  }

  // A real left click on a part of the window; the release was in [lo, hi].
  // landed: the class of the window the release went to.
  void Tap(const std::string& w, const std::string& part, const std::string& landed, long lo, long hi) {
    Window& window = windows.at(w);
    const bool page = landed == "Internet Explorer_Server";
    const bool excluded = landed == "ToolbarWindow32" || landed == "Edit" || landed == "msctls_statusbar32" ||
                          landed == "ReBarWindow32" || landed == "IEFrame";
    if (excluded) {
      window.click = Stamp{};
    } else if (page && level == 3) {
      // On the page, the plain arrow is the frame's cursor: at level 3 only
      // a link counts. The level here is the text "3" itself.
      window.click = part == "page" ? Stamp{} : part == "link" ? At(lo, hi) : Unknown();
    } else if (page || landed == "BenchPluginWindow") {
      window.click = At(lo, hi);
    } else {
      window.click = Unknown();
    }
    for (Watch& watch : window.watches) watch.buttonUp = At(lo, hi);
  }

  // A click none of the windows' threads was seen to take: any window may
  // have been clicked anywhere.
  void Astray() {
    for (auto& w : windows) {
      w.second.click = Unknown();
      for (Watch& watch : w.second.watches) watch.buttonUp = Unknown();
    }
  }

  void Close(const std::string& w) { windows.erase(w); }

  // Message 0x0491 on w's thread after dialog d (owned by w) was made.
  void DialogMessage(const std::string& w, long lo, long hi) {
    std::vector<Watch> next;
    for (Watch watch : windows.at(w).watches) {
      watch.closes.clear();
      watch.dialogStamp = At(lo, hi);
      watch.dialogFrame = AnyDialogOpen();
      if (!watch.dialogFrame) {
        watch.list.clear();
        next.push_back(watch);
        continue;
      }
      ScanAndJudge(w, watch, Trigger::DialogMessage, lo, hi, next);
    }
    Settle(w, next);
  }

  void UserMessage(const std::string& w, long lo, long hi) {
    std::vector<Watch> next;
    for (Watch watch : windows.at(w).watches) {
      watch.closes.clear();
      watch.dialogFrame = AnyDialogOpen();
      if (!watch.dialogFrame) {
        watch.userCount = 0;
        watch.list.clear();
        next.push_back(watch);
        continue;
      }
      const Within recent = ElapsedWithin(watch.dialogStamp, lo, hi, 5000);
      if (recent != Within::Yes) {
        Watch stale = watch;
        stale.userCount = 0;
        next.push_back(stale);
        if (recent == Within::No) continue;
      }
      ++watch.userCount;
      const int n = watch.userCount;
      if (n == 1 || n == 3 || n == 5 || n == 8 || n == 11) {
        ScanAndJudge(w, watch, Trigger::UserMessage, lo, hi, next);
        continue;
      }
      watch.dialogFrame = false;
      if (n > 15) watch.userCount = 0;
      next.push_back(watch);
    }
    Settle(w, next);
  }

  // Keeps the states of w that closed exactly the dialogs observed closed in
  // this step; false when none is left.
  bool Observe(const std::string& w, const std::set<std::string>& closed) {
    auto& watches = windows.at(w).watches;
    std::vector<Watch> kept;
    for (Watch watch : watches) {
      if (watch.closes != closed) continue;
      watch.closes.clear();
      if (std::find(kept.begin(), kept.end(), watch) == kept.end()) kept.push_back(watch);
    }
    watches = kept;
    return !kept.empty();
  }

 private:
  void Settle(const std::string& w, std::vector<Watch>& next) {
    std::vector<Watch> unique;
    for (const Watch& watch : next) {
      if (std::find(unique.begin(), unique.end(), watch) == unique.end()) unique.push_back(watch);
    }
    if (unique.size() > 256) unique.resize(256);
    windows.at(w).watches = unique;
  }

  // The scan finds w's open dialogs; one not seen by the scan before is
  // judged (with several, any of them may be the one).
  void ScanAndJudge(const std::string& w, Watch watch, Trigger trigger, long lo, long hi, std::vector<Watch>& next) {
    watch.previous = watch.list;
    watch.list.clear();
    std::vector<std::string> fresh;
    for (const auto& d : dialogs) {
      if (!d.second.open || d.second.owner != w) continue;
      watch.list += d.second.tag;
      if (watch.previous.find(d.second.tag) == std::string::npos) fresh.push_back(d.first);
    }
    if (fresh.empty()) {
      next.push_back(watch);
      return;
    }
    const int l = Effective(level);
    for (const std::string& name : fresh) {
      Watch judged = watch;
      if (l == 0 || ctrl || Listed(windows.at(w).currentUrl)) {
        next.push_back(judged);
        continue;
      }
      if (l == 4) {
        judged.closes.insert(name);
        next.push_back(judged);
        continue;
      }
      const Within within = ElapsedWithin(judged.buttonUp, lo, hi, DialogGrace(trigger, l));
      judged.buttonUp = Stamp{};
      if (within != Within::Yes) {
        Watch closed = judged;
        closed.closes.insert(name);
        next.push_back(closed);
      }
      if (within != Within::No) next.push_back(judged);
    }
  }
};

}  // namespace vendrolix::stream
