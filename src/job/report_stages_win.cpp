#include "job/report_stages_win.h"

#include "collect/apple_libraries_win.h"
#include "collect/product_files_win.h"
#include "job/work_area.h"
#include "platform/base/contain_win.h"
#include "platform/base/datetime.h"
#include "platform/base/file_io_win.h"
#include "platform/base/system_locale_win.h"
#include "platform/system/version_info.h"
#include "report/autoruns_win.h"
#include "report/installed_files_win.h"
#include "report/process_inventory_win.h"
#include "report/services_win.h"
#include "report/system_info_win.h"
#include "report/system_overview_win.h"
#include "zip/zip_writer.h"

#include <memory>
#include <stdexcept>

namespace vantrel {

namespace {

const wchar_t kReportName[] = L"Vantrel_Debug_Info.txt";

constexpr TOnFailure kEnds = TOnFailure::EndsRun;
constexpr TOnFailure kContained = TOnFailure::Contained;
constexpr bool kStep = true;
constexpr bool kNoStep = false;
constexpr TRightsUsed kOwn = TRightsUsed::Own;
constexpr TRightsUsed kUsers = TRightsUsed::UsersData;

void VersionLine(TRunContext&, TStringList& lines) {
    lines.push_back(L"Version:" + GetFileInfoItem(GetModulePath(), 3, L"Unknown"));
}

void DateLine(TRunContext&, TStringList& lines) {
    lines.push_back(L"Date:" + FormatReportDateTime(LocalNow(), UserLocale()));
}

void SystemOverview(TRunContext&, TStringList& lines) { AddSystemOverview(lines); }

void Processes(TRunContext&, TStringList& lines) { AddProcesses(lines); }

void Services(TRunContext&, TStringList& lines) { AddServices(lines); }

// The command runs while every other stage works, from the run's start, or
// from the window's opening when the run adopted a capture made ready then
// (TPreparedRun). Its raw output lies in the area's root, never in the
// working folder that is packed.
void StartSystemInformation(TRunContext& run, TStringList&) {
    if (!run.SystemInfo) run.SystemInfo = StartSystemInfo(run.AreaDir);
}

void Autoruns(TRunContext&, TStringList& lines) {
    const TStringList section = BuildAutoruns();
    lines.insert(lines.end(), section.begin(), section.end());
}

void InstallFolder(TRunContext& run, TStringList&) { run.InstallDir = LoadInstallDir(); }

void InstalledFiles(TRunContext& run, TStringList& lines) {
    AddInstalledFiles(lines, run.InstallDir, true, run.ReadRights());
}

void ReportFile(TRunContext& run, TStringList& lines) {
    SaveBytesToFile(run.WorkDir + kReportName, EncodeUtf16LinesFile(lines));
}

void AppleLibraries(TRunContext& run, TStringList&) { CollectAppleLibraries(run.Collected); }

// Saves the capture's lines in `work_dir`, then lets the command go. A
// failure leaves the line of the row that handed the capture over.
void SaveAtItsPlace(const std::wstring& work_dir, std::shared_ptr<TSystemInfoCapture>& capture) {
    try {
        SaveSystemInfo(work_dir, capture.get());
    } catch (...) {
        RecordCurrentFailure(L"system information");
        throw;
    }
    capture.reset();
}

// The command's output is collected as late as it can be: its lines are
// saved when the packer reaches "SystemInfo.txt" in the archive's order,
// while the members before it are packed. A failure there ends the run
// through the archive's row.
void SystemInformation(TRunContext& run, TStringList&) {
    std::shared_ptr<TSystemInfoCapture> capture(std::move(run.SystemInfo));
    const std::wstring work_dir = run.WorkDir;
    run.Late.push_back(
        TLateFile{kSystemInfoSavedName, [capture, work_dir]() mutable { SaveAtItsPlace(work_dir, capture); }});
}

void ProductFiles(TRunContext& run, TStringList&) {
    CollectProductFiles({run.InstallDir, run.AppDataDir, run.UpdaterDir}, run.ReadRights(),
                        run.ReadRightsOfRunAccountData(), run.Collected);
}

// The archive is created new in this run's own area: no earlier file can be
// there, and nothing but this run's archive is ever copied.
void ArchivePath(TRunContext& run, TStringList&) { run.ArchivePath = ArchivePathIn(run.AreaDir); }

// The working folder (the text report, and "SystemInfo.txt" made at its
// place) and the collected files, read through the handles their collection opened; those
// are closed once packed.
void Archive(TRunContext& run, TStringList&) {
    ZipFolder(run.WorkDir, run.ArchivePath, run.Collected.Files(), run.Late);
    run.Collected.Clear();
    run.Late.clear();
}

}  // namespace

// One row a line, in columns.
// clang-format off
TReportStages DefaultReportStages() {
    return {
        // name                         failure     progress  rights  function
        {L"system information start",   kEnds,      kNoStep,  kOwn,   StartSystemInformation},
        {L"version line",               kEnds,      kNoStep,  kOwn,   VersionLine},
        {L"date line",                  kContained, kNoStep,  kOwn,   DateLine},
        {L"system overview",            kEnds,      kStep,    kOwn,   SystemOverview},
        {L"processes",                  kEnds,      kStep,    kOwn,   Processes},
        {L"services",                   kEnds,      kStep,    kOwn,   Services},
        {L"autoruns",                   kContained, kNoStep,  kOwn,   Autoruns},
        {L"install folder",             kEnds,      kNoStep,  kOwn,   InstallFolder},
        {L"installed files",            kEnds,      kStep,    kUsers, InstalledFiles},
        {L"report file",                kEnds,      kNoStep,  kOwn,   ReportFile},
        {L"Apple libraries",            kEnds,      kNoStep,  kOwn,   AppleLibraries},
        {L"product files",              kEnds,      kStep,    kUsers, ProductFiles},
        {L"system information",         kEnds,      kStep,    kOwn,   SystemInformation},
        {L"archive path",               kEnds,      kNoStep,  kOwn,   ArchivePath},
        {L"archive",                    kEnds,      kStep,    kOwn,   Archive},
    };
}
// clang-format on

TReportStages JobOwnStages() {
    TReportStages stages = DefaultReportStages();
    for (TStage& stage : stages) {
        const std::wstring name = stage.Name;
        if (name != L"version line" && name != L"date line" && name != L"report file" && name != L"archive path") {
            stage.Run = nullptr;
        }
    }
    return stages;
}

TStageFn& StageFunction(TReportStages& stages, const std::wstring& name) {
    for (TStage& stage : stages) {
        if (name == stage.Name) return stage.Run;
    }
    throw std::out_of_range("no stage of that name");
}

}  // namespace vantrel
