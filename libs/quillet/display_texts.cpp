#include "libs/quillet/display_texts.h"

#include <map>

#include "libs/quillet/quillet.h"
#include "runtime/picture.h"

namespace corvix::quillet {

const char* const kOperationNames[12] = {"Is Equal To",
                                         "Is NOT Equal To",
                                         "Is Greater Than",
                                         "Is Less Than",
                                         "Is Greater Than or Equal To",
                                         "Is Less Than or Equal To",
                                         "Begins With",
                                         "Contains",
                                         "Does NOT Begin With",
                                         "Does NOT Contain",
                                         "Is Checked",
                                         "Is NOT Checked"};

namespace {

struct Slot {
    size_t width;  // 0: accepted, kept and never cut
    std::string text;
};

std::map<long, Slot> makeSlots() {
    std::map<long, Slot> s;
    for (long id = 1; id <= 12; ++id) s[id] = {30, kOperationNames[id - 1]};
    const std::pair<long, size_t> widths[] = {
        {31, 40},  {32, 150},  {33, 40},   {34, 200},  {35, 40},  {36, 70},  {37, 40},  {38, 350},
        {39, 40},  {40, 150},  {41, 40},   {42, 70},   {100, 60}, {200, 60}, {230, 0},  {151, 26},
        {152, 26}, {153, 26},  {154, 30},  {155, 70},  {156, 70}, {157, 50}, {158, 30}, {159, 40},
        {160, 30}, {161, 110}, {162, 110}, {163, 60},  {164, 30}, {165, 30}, {166, 50}, {167, 40},
        {168, 70}, {169, 30},  {170, 120}, {171, 30},  {201, 40}, {202, 60}, {218, 0},  {219, 0},
        {220, 40}, {221, 250}, {231, 120}, {232, 120}, {233, 40}, {234, 40}, {235, 40}, {236, 30},
        {243, 0},  {244, 0},   {300, 70},  {301, 70},  {302, 60}, {303, 60}};
    for (const auto& [id, width] : widths) s[id] = {width, {}};
    // Fonts: face names (odd ids) and sizes (even ids, numbers).
    for (long id = 71; id <= 80; ++id) s[id] = {id % 2 ? 60u : 0u, {}};
    // Buttons: tip, status text, caption.
    auto button = [&](long first, size_t tip, size_t status) {
        s[first] = {tip, {}};
        s[first + 1] = {status, {}};
        s[first + 2] = {15, {}};
    };
    for (long id = 101; id <= 125; id += 3) button(id, 60, 35);
    for (long id = 203; id <= 215; id += 3) button(id, 50, 25);
    for (long id = 237; id <= 240; id += 3) button(id, 50, 25);
    return s;
}

std::map<long, Slot>& slots() {
    static std::map<long, Slot> s = makeSlots();
    return s;
}

}  // namespace

void QX_SETQWDISPLAYTEXT(long id, const std::string& text) {
    auto it = slots().find(id);
    if (it == slots().end()) return;
    Slot& slot = it->second;
    slot.text = slot.width ? runtime::cutToChars(text, slot.width) : text;
}

const std::string& displayText(long id) {
    static const std::string blank;
    auto it = slots().find(id);
    return it == slots().end() ? blank : it->second.text;
}

std::string displayCaption(long id) {
    const std::string& t = displayText(id);
    return t.substr(0, t.find('|'));
}

std::string displayMessage(long id) {
    std::string t = runtime::rightTrim(displayText(id));
    for (char& c : t)
        if (c == '|') c = '\n';
    return t;
}

bool isDisplayTextSlot(long id) {
    return slots().count(id) != 0;
}

int displayTextSlots() {
    return static_cast<int>(slots().size());
}

}  // namespace corvix::quillet
