// SelectCVGSD: the theme picker of the set-up wizard, opened on the current theme.
// "&Select" leaves the highlighted theme in the themes' record buffer and completes.
#pragma once

#include <cstdint>

#include "security/browse_cvgsd.h"

namespace corvix::security {

class SelectCVGSD : public BrowseCVGSD {
  public:
    SelectCVGSD(framework::VaultManagers& managers, int32_t current);

  protected:
    int init() override;

  private:
    int32_t current_;
};

// Runs the picker modally; kRequestCompleted with the theme in managers.gsdRecord.
int select_cvgsd(framework::VaultManagers& managers, int32_t current);

}  // namespace corvix::security
