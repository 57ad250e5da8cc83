#include "report/crash_reporter_registry.h"

#include <algorithm>
#include <utility>

namespace vantrel {

void TReportSectionRegistry::Register(const std::wstring& name, const std::wstring& description,
                                      TSectionTextFunction text) {
    for (auto& section : sections_) {
        if (section.Name == name) {
            section.TextFunction = std::move(text);
            return;
        }
    }
    sections_.push_back(TReportSection{name, description, std::move(text), true});
}

bool TReportSectionRegistry::Remove(const std::wstring& name) {
    auto it = std::find_if(sections_.begin(), sections_.end(),
                           [&](const TReportSection& section) { return section.Name == name; });
    if (it == sections_.end()) return false;
    sections_.erase(it);
    return true;
}

const TReportSection* TReportSectionRegistry::Find(const std::wstring& name) const {
    for (const auto& section : sections_) {
        if (section.Name == name) return &section;
    }
    return nullptr;
}

TReportSectionRegistry& CrashReportSections() {
    static TReportSectionRegistry registry;
    return registry;
}

void RegisterReportSection(const std::wstring& name, const std::wstring& description, TSectionTextFunction text) {
    CrashReportSections().Register(name, description, std::move(text));
}

void UnregisterReportSection(const std::wstring& name) { CrashReportSections().Remove(name); }

}  // namespace vantrel
