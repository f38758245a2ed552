// Opening an account's web address or document. The text goes to the desktop's opener
// (QDesktopServices: xdg-open) as a URL; a bare path is opened as a local file. No shell
// ever sees it, so no text of an account can run as a command.
#pragma once

#include <QUrl>
#include <string_view>

namespace corvix::accounts {

// The URL for an account's URL field: "" stays empty; a text with a scheme is a URL; a
// path (absolute, "~/...", or relative to the working directory) is a local file; a
// name such as "www.example.com" is taken as an http address.
QUrl accountUrl(std::string_view text);
// Opens it; the result is not reported (false when there was nothing to open).
bool startAccountUrl(std::string_view text);

}  // namespace corvix::accounts
