#include "report/section_banner.h"

namespace vantrel {

namespace {

const std::size_t kBannerWidth = 81;

}  // namespace

std::wstring SectionBanner() { return std::wstring(kBannerWidth, L'*'); }

}  // namespace vantrel
