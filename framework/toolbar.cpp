#include "framework/toolbar.h"

namespace corvix::framework {

std::string frameTip(int button) {
    switch (button) {
        case kToolInsert:
            return "Add New Password Account";
        case kToolChange:
            return "Change Password Account";
        case kToolDelete:
            return "Delete Password Account";
        case kToolBottom:
            return "Bottom";
        case kToolTop:
            return "Top";
        case kToolPageDown:
            return "Page down";
        case kToolPageUp:
            return "Page up";
        case kToolDown:
            return "Down one";
        case kToolUp:
            return "Up one";
        case kToolLocate:
            return "Locate";
        case kToolHistory:
            return "Copy field";
        case kToolHelp:
            return "Help";
        default:
            return "";
    }
}

namespace {

std::string insertTip(int button) {
    switch (button) {
        case kToolInsert:
        case kToolDown:
            return "Save record and add another";
        default:
            return "";
    }
}

std::string changeTip(int button) {
    switch (button) {
        case kToolInsert:
            return "Save this record and add a new one";
        case kToolBottom:
            return "Save changes and go to last record";
        case kToolTop:
            return "Save changes and go to first record";
        case kToolPageDown:
            return "Save changes and page down to record";
        case kToolPageUp:
            return "Save changes and page up to record";
        case kToolDown:
            return "Save changes and go to next record";
        case kToolUp:
            return "Save changes and go to previous record";
        default:
            return "";
    }
}

}  // namespace

void Toolbar::bindBrowse(std::function<bool(int)> has, std::function<void(int)> take) {
    mode_ = Mode::Browse;
    has_ = std::move(has);
    take_ = std::move(take);
    help_ = nullptr;
    history_ = false;
}

void Toolbar::bindForm(Mode mode, bool hasHistoryKey, std::function<bool()> helpEnabled,
                       std::function<void(int)> take) {
    mode_ = mode;
    history_ = hasHistoryKey;
    help_ = std::move(helpEnabled);
    take_ = std::move(take);
    has_ = nullptr;
}

void Toolbar::unbind() {
    mode_ = Mode::None;
    has_ = nullptr;
    help_ = nullptr;
    take_ = nullptr;
}

ToolbarState Toolbar::state(int button) const {
    ToolbarState s;
    s.tip = frameTip(button);
    switch (mode_) {
        case Mode::None:
            s.enabled = false;
            break;
        case Mode::Browse:
            // The frame starts the new account wizard for 2000 itself; 2011 copies a field
            // only in forms.
            s.enabled = button != kToolInsert && button != kToolHistory && has_ && has_(button);
            break;
        case Mode::FormInsert:
        case Mode::FormChange:
        case Mode::FormOther: {
            if (button == kToolHistory) {
                s.enabled = mode_ != Mode::FormOther && history_;
            } else if (button == kToolHelp) {
                s.enabled = help_ && help_();
            } else if (mode_ == Mode::FormInsert) {
                s.enabled = button == kToolInsert || button == kToolDown;
                if (s.enabled) s.tip = insertTip(button);
            } else if (mode_ == Mode::FormChange) {
                s.enabled = button == kToolInsert || (button >= kToolBottom && button <= kToolUp);
                if (s.enabled) s.tip = changeTip(button);
            }
            break;
        }
    }
    return s;
}

bool Toolbar::take(int button) {
    if (button < kToolFirst || button > kToolLast || !state(button).enabled || !take_) return false;
    take_(button);
    return true;
}

}  // namespace corvix::framework
