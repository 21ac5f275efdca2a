#include "app/main/report_plugins.h"

#include "lib/data_sources.h"
#include "lib/messages.h"

#include <QLibrary>
#include <QStringList>

#include <algorithm>
#include <cerrno>

namespace {

QString lastErrorCode()
{
    return QString::number(errno);
}

void warn(QWidget *owner, const QString &text)
{
    MessageProc(owner, text, MB_ICONWARNING, MB_OK);
}

} // namespace

ReportPlugins::ReportPlugins() = default;

ReportPlugins::~ReportPlugins()
{
    FreeReportPlugins();
}

void ReportPlugins::LoadReportPlugins(const QString &programDir, QWidget *Owner)
{
    QStringList files;
    ListFiles(programDir + QStringLiteral("plugins/*.so"), files, true,
              faReadOnly | faHidden | faSysFile | faArchive);
    files.sort(Qt::CaseInsensitive);

    FreeReportPlugins();
    m_plugins.reserve(files.size());
    for (const QString &path : files) {
        const int slot = int(m_plugins.size());
        tpl_interface plugin;
        plugin.library = std::make_unique<QLibrary>(path);
        errno = 0;
        if (!plugin.library->load()) {
            warn(Owner, QStringLiteral("LoadLibrary: ошибка загрузки ") + path +
                            QStringLiteral(" (LoadLibrary вернула 0/nil/NULL)\r") +
                            QStringLiteral("Библиотека не будет загружена!\r") +
                            QStringLiteral("GetLastError()=") + lastErrorCode());
            continue;
        }

        QString missing;
        auto required = [&](const char *name) -> void * {
            if (!missing.isEmpty())
                return nullptr;
            errno = 0;
            void *address = reinterpret_cast<void *>(plugin.library->resolve(name));
            if (!address)
                missing = QString::fromLatin1(name);
            return address;
        };
        plugin.mainfunc = required("mainfunc");
        plugin.getidsnumber = reinterpret_cast<TGetIdsNumber>(required("getidsnumber"));
        plugin.getids = reinterpret_cast<TGetIds>(required("getids"));
        if (!missing.isEmpty()) {
            const QString code = lastErrorCode();
            plugin.library->unload();
            warn(Owner, QStringLiteral("GetProcAddress: ошибка загрузки ") + path +
                            QStringLiteral(" (GetProcAddress вернула 0/nil/NULL)\r") +
                            QStringLiteral("Не найдена экспортируемая функция ") + missing +
                            QStringLiteral(". ") + QStringLiteral("Библиотека не будет загружена!\r") +
                            QStringLiteral("GetLastError()=") + code);
            continue;
        }
        plugin.shutdowndl = reinterpret_cast<void *>(plugin.library->resolve("shutdowndl"));

        // A negative count is as good as none: the library offers nothing usable.
        const int n = std::max(plugin.getidsnumber(), 0);
        plugin.ids.assign(size_t(n), TReportDescriptor{});
        std::vector<TReportRef> taken;
        for (int j = 0; j < n; ++j) {
            if (plugin.getids(j, plugin.ids[size_t(j)].data()) == 0) {
                plugin.ids[size_t(j)].fill(0);
                warn(Owner, path + QStringLiteral(": getids: неожиданная ошибка.\r") +
                                QStringLiteral("Отчёт №") + QString::number(j) +
                                QStringLiteral(" пропускается."));
                continue;
            }
            taken.push_back({slot, j});
        }

        if (taken.empty()) {
            plugin.library->unload();
            warn(Owner, QStringLiteral("Библиотека ") + path + QStringLiteral(" не содержит ") +
                            QStringLiteral("правильного набора функций отчёта.\r") +
                            QStringLiteral("Она не будет использована."));
            continue;
        }
        m_reports.insert(m_reports.end(), taken.begin(), taken.end());
        m_plugins.push_back(std::move(plugin));
    }
}

void ReportPlugins::FreeReportPlugins()
{
    m_reports.clear();
    for (tpl_interface &plugin : m_plugins)
        if (plugin.library)
            plugin.library->unload();
    m_plugins.clear();
}
