#pragma once

#include <QString>

#include <array>
#include <memory>
#include <vector>

class QLibrary;
class QWidget;

// The block a plug-in fills to describe one of its reports; its content is the plug-in's own.
using TReportDescriptor = std::array<unsigned char, 164>;

// The C exports of a report plug-in.
extern "C" {
using TGetIdsNumber = int (*)();
using TGetIds = int (*)(int index, void *descriptor);
}

// One loaded plug-in library.
struct tpl_interface
{
    // One per report the library announced, at the report's index; a report whose descriptor could not
    // be obtained keeps a zeroed block.
    std::vector<TReportDescriptor> ids;
    std::unique_ptr<QLibrary> library;
    TGetIdsNumber getidsnumber = nullptr;
    TGetIds getids = nullptr;
    void *mainfunc = nullptr;
    void *shutdowndl = nullptr; // optional
};

// One report offered to the user: which plug-in, and which of its reports.
struct TReportRef
{
    int plugin = 0;
    int report = 0;
    bool operator==(const TReportRef &) const = default;
};

// The report plug-ins of the program folder's "plugins" folder, kept for the whole run.
class ReportPlugins
{
public:
    ReportPlugins();
    ~ReportPlugins();
    ReportPlugins(const ReportPlugins &) = delete;
    ReportPlugins &operator=(const ReportPlugins &) = delete;

    // Loads every programDir + "plugins/*.so" in name order (programDir ends with "/"). Each failure is
    // shown to Owner with one warning and skips that library or that report.
    void LoadReportPlugins(const QString &programDir, QWidget *Owner);
    // Unloads every library without calling its clean-up entry.
    void FreeReportPlugins();

    const std::vector<tpl_interface> &plugins() const { return m_plugins; }
    const std::vector<TReportRef> &reports() const { return m_reports; }

private:
    std::vector<tpl_interface> m_plugins;
    std::vector<TReportRef> m_reports;
};
