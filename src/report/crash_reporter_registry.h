// The crash reporter's registry of named report sections: each section is a
// function that returns a text for a crash report. Pure code.
//
// Sections are registered by the start-up code on the main thread before any
// other thread exists and removed at program end; the registry itself takes
// no lock. The text functions may be called on any thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vantrel {

using TSectionTextFunction = std::function<std::wstring()>;

struct TReportSection {
    std::wstring Name;
    std::wstring Description;
    TSectionTextFunction TextFunction;
    bool Enabled = true;  // the section's option flag
};

class TReportSectionRegistry {
public:
    // Adds a section with its option flag set; when a section of that name
    // (letter case significant) is held already, only its text function is
    // replaced and its description, flag and position stay.
    void Register(const std::wstring& name, const std::wstring& description, TSectionTextFunction text);
    // Removes the section of that name; false when there is none.
    bool Remove(const std::wstring& name);
    // The section of that name, or null.
    const TReportSection* Find(const std::wstring& name) const;
    // All sections in the order they were first registered.
    const std::vector<TReportSection>& Sections() const { return sections_; }

private:
    std::vector<TReportSection> sections_;
};

// The process-wide registry of the crash reporter.
TReportSectionRegistry& CrashReportSections();

// Register / Remove on the process-wide registry.
void RegisterReportSection(const std::wstring& name, const std::wstring& description, TSectionTextFunction text);
void UnregisterReportSection(const std::wstring& name);

}  // namespace vantrel
