// The process-wide desktop, and what every backend shares.
#include <memory>

#include "platform/desktop/desktop.h"

namespace corvix::desktop {
namespace {

Desktop* installed = nullptr;
std::unique_ptr<Desktop> opened;  // the X11 desktop opened on first use
bool openTried = false;

// Texts known at once.
class ReadyTexts : public Desktop::TextsRequest {
  public:
    explicit ReadyTexts(std::vector<std::string> texts) : texts_(std::move(texts)) {}
    bool ready() override { return true; }
    std::vector<std::string> take() override { return std::move(texts_); }

  private:
    std::vector<std::string> texts_;
};

}  // namespace

std::unique_ptr<Desktop::TextsRequest> Desktop::requestWindowTexts(WindowHandle window) {
    return std::make_unique<ReadyTexts>(windowTexts(window));
}

Desktop* currentDesktop() {
    if (installed) return installed;
    if (!openTried) {
        openTried = true;
        opened = openX11Desktop();
    }
    return opened.get();
}

void setCurrentDesktop(Desktop* desktop) {
    installed = desktop;
    if (!desktop) openTried = false;  // the next use may open the display again
}

}  // namespace corvix::desktop
