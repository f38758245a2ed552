// The frame's toolbar buttons 2000-2012 as the active browse or form interprets them:
// which are enabled, what their tips say, and what pressing one does there.
#pragma once

#include <functional>
#include <string>

namespace corvix::framework {

enum ToolbarButton : int {
    kToolInsert = 2000,
    kToolChange = 2001,
    kToolDelete = 2002,
    kToolSelect = 2003,
    kToolBottom = 2004,
    kToolTop = 2005,
    kToolPageDown = 2006,
    kToolPageUp = 2007,
    kToolDown = 2008,
    kToolUp = 2009,
    kToolLocate = 2010,
    kToolHistory = 2011,
    kToolHelp = 2012,
    kToolFirst = kToolInsert,
    kToolLast = kToolHelp,
};

// The tip the frame shows for a button when no window interprets it ("" for none).
std::string frameTip(int button);

struct ToolbarState {
    bool enabled = false;
    std::string tip;
};

// What the toolbar is bound to. A browse answers every button it has a control for; a
// form answers by its request.
class Toolbar {
  public:
    enum class Mode { None, Browse, FormInsert, FormChange, FormOther };

    void bindBrowse(std::function<bool(int button)> has, std::function<void(int button)> take);
    void bindForm(Mode mode, bool hasHistoryKey, std::function<bool()> helpEnabled,
                  std::function<void(int button)> take);
    void unbind();
    Mode mode() const { return mode_; }

    ToolbarState state(int button) const;
    // Acts on a button forwarded by the frame. False when it is disabled here.
    bool take(int button);

  private:
    Mode mode_ = Mode::None;
    bool history_ = false;
    std::function<bool(int)> has_;
    std::function<bool()> help_;
    std::function<void(int)> take_;
};

}  // namespace corvix::framework
