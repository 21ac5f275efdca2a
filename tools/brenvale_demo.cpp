// brenvale_demo <folder> [options]: writes the demo program folder (see demo_data.h).

#include "demo_data.h"

#include "lib/errors.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

namespace {

bool readInt(const QCommandLineParser &parser, const QString &name, int &value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    value = parser.value(name).toInt(&ok);
    return ok;
}

bool readDouble(const QCommandLineParser &parser, const QString &name, double &value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    value = parser.value(name).toDouble(&ok); // QString reads "." whatever the locale
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    DemoParams params;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes the demo folder of brenvale: settings, an ORX "
                                                    "database and the stations' bulletin databases."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The folder to write."));
    parser.addOptions({
        {QStringLiteral("stations"),
         QStringLiteral("Stations, 1 to %1 (default %2).").arg(DemoStationLimit()).arg(params.stations),
         QStringLiteral("N")},
        {QStringLiteral("days"), QStringLiteral("Days of data (default %1).").arg(params.days),
         QStringLiteral("N")},
        {QStringLiteral("last-day"),
         QStringLiteral("The last day, yyyy-mm-dd (default %1).").arg(params.lastDay.toString(Qt::ISODate)),
         QStringLiteral("date")},
        {QStringLiteral("events-per-day"),
         QStringLiteral("Events a day (default %1).").arg(params.eventsPerDay), QStringLiteral("N")},
        {QStringLiteral("readings-per-event"),
         QStringLiteral("Average arrivals of a station per event (default %1).").arg(params.readingsPerEvent),
         QStringLiteral("X")},
        {QStringLiteral("measurements-per-reading"),
         QStringLiteral("Average amplitude measurements per reading (default %1).")
             .arg(params.measurementsPerReading),
         QStringLiteral("X")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the made-up data (default %1).").arg(params.seed),
         QStringLiteral("N")},
    });
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        err << parser.helpText();
        return 2;
    }
    bool ok = readInt(parser, QStringLiteral("stations"), params.stations) &&
              readInt(parser, QStringLiteral("days"), params.days) &&
              readInt(parser, QStringLiteral("events-per-day"), params.eventsPerDay) &&
              readDouble(parser, QStringLiteral("readings-per-event"), params.readingsPerEvent) &&
              readDouble(parser, QStringLiteral("measurements-per-reading"), params.measurementsPerReading);
    if (ok && parser.isSet(QStringLiteral("seed")))
        params.seed = parser.value(QStringLiteral("seed")).toULongLong(&ok);
    if (ok && parser.isSet(QStringLiteral("last-day"))) {
        params.lastDay = QDate::fromString(parser.value(QStringLiteral("last-day")), Qt::ISODate);
        ok = params.lastDay.isValid();
    }
    if (!ok) {
        err << "brenvale_demo: an option has a value that is no number or date\n";
        return 2;
    }
    try {
        const QString folder = QDir(parser.positionalArguments().first()).absolutePath();
        const DemoSummary s = GenerateDemoFolder(folder, params);
        QTextStream(stdout) << "Demo folder " << folder << ": " << s.stationCodes.size() << " stations, "
                            << s.events << " events, " << s.arrivals << " arrivals, " << s.measurements
                            << " measurements\n";
    } catch (const BrenvaleError &e) {
        err << "brenvale_demo: " << e.message() << '\n';
        return 1;
    }
    return 0;
}
