// What the sending code needs from the program around it: giving way to other events
// while it waits, hiding the frame into the tray, the current moment and date, and
// whether sending is still allowed (the user may log off while a send waits). The Qt
// program sets these; tests replace them.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "platform/desktop/desktop.h"

namespace corvix::send {

struct SendHooks {
    // Processes pending events once. waitSeconds calls it in a loop, so it should block
    // briefly (some milliseconds) when nothing is pending, or the wait keeps a core busy.
    std::function<void()> yield;
    std::function<void()> postIconize;   // ask the main frame to hide into the tray
    std::function<double()> now;         // moment: day count + clock / 8,640,000
    std::function<std::string()> today;  // today in the user's short-date format
    std::function<bool()> mayType;       // still logged on
    std::function<void()> typed;         // an action has been typed (the send sound); may be empty
    // Processes the events already pending without waiting; typing a long text calls it
    // every few tens of milliseconds so that the program never freezes. May be empty.
    std::function<void()> giveWay;
    // Called when a text has been typed (or stopped): the program gives borrowed
    // keycodes back shortly after, once the receiving program has read the keys.
    std::function<void()> afterTyping;
};

// The process-wide hooks; the defaults suit a program without an event loop (the
// yield sleeps 10 ms, moment and date come from the runtime's clock, sending is always allowed).
SendHooks& sendHooks();
void resetSendHooks();

// Waits the given number of seconds, yielding, until the moment now + seconds has passed
// (days plus fraction of the day, so midnight is crossed correctly). A clock that is put
// back cannot stretch the wait: it also ends once that many seconds have really passed.
void waitSeconds(int seconds);

// Waits about `length` without holding up the program: a short wait sleeps, a longer one
// yields until it has passed.
void waitBriefly(std::chrono::milliseconds length);

// Asks the desktop to bring the window to the front and waits, yielding, until it holds
// the keyboard focus: true then; false when it is gone or has not got the focus within
// three seconds. The request is repeated now and then (a window manager may drop one
// that came too early).
bool activateAndWait(desktop::Desktop& d, desktop::WindowHandle window);

}  // namespace corvix::send
