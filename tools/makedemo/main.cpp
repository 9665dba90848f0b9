// makedemo: writes a demo installation of the stock module (program folder, configuration, databases).
#include "demo.h"

#include "db/dberror.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("makedemo"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Creates a demo installation: DIR/c is drive C:, DIR/c/FORMULIX the program folder with FORMULIX.INI, "
        "drives.conf, the central database in Dados and the workstation databases in interfac01 and interfac02."));
    parser.addHelpOption();
    const QCommandLineOption dirOption(QStringLiteral("dir"), QStringLiteral("Installation root."), QStringLiteral("DIR"));
    const QCommandLineOption lotsOption(QStringLiteral("lots"), QStringLiteral("Stock lots to make (default 2000); purchases, orders and movements follow. "
                                                       "The few dozen lots that show each special state are always made."),
                                        QStringLiteral("N"), QStringLiteral("2000"));
    const QCommandLineOption productsOption(QStringLiteral("products"), QStringLiteral("Products in the register (default: only those the lots use); "
                                                           "the others have no lot."),
                                            QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption ordersOption(QStringLiteral("orders"), QStringLiteral("Orders of the last 90 days, about three component lines each "
                                                       "(default: a tenth of the lots)."),
                                          QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption todayOption(QStringLiteral("today"), QStringLiteral("Day the data is built around (default: today)."),
                                         QStringLiteral("yyyy-mm-dd"));
    const QCommandLineOption forceOption(QStringLiteral("force"), QStringLiteral("Replace an existing DIR/c."));
    parser.addOptions({dirOption, lotsOption, productsOption, ordersOption, todayOption, forceOption});
    parser.process(app);

    makedemo::Options options;
    options.dir = parser.value(dirOption);
    options.force = parser.isSet(forceOption);
    bool ok = false;
    options.lots = parser.value(lotsOption).toInt(&ok);
    bool productsOk = false;
    options.products = parser.value(productsOption).toInt(&productsOk);
    bool ordersOk = false;
    options.orders = parser.value(ordersOption).toInt(&ordersOk);
    if (options.dir.isEmpty() || !ok || !productsOk || !ordersOk || options.orders < 0 || options.lots < 1 || options.products < 0
        || !parser.positionalArguments().isEmpty()) {
        err << "usage: makedemo --dir DIR [--lots N] [--products N] [--orders N] [--today yyyy-mm-dd] [--force]\n";
        return 2;
    }
    if (parser.isSet(todayOption)) {
        options.today = QDate::fromString(parser.value(todayOption), Qt::ISODate);
        if (!options.today.isValid()) {
            err << "makedemo: --today wants a date written yyyy-mm-dd\n";
            return 2;
        }
    }

    QElapsedTimer timer;
    timer.start();
    try {
        const makedemo::Summary s = makedemo::makeDemo(options);
        out << "Demo installation made in " << QDir::toNativeSeparators(QDir(options.dir).absolutePath()) << "\n"
            << "  Program folder (C:\\FORMULIX\\): " << s.programFolder << "\n"
            << "  Central database:       " << s.centralDatabase << "\n"
            << "  Workstation databases:  " << s.workstationDatabases.join(QStringLiteral(", ")) << "\n"
            << "  Lots " << s.lots << ", products " << s.products << ", purchase lines " << s.purchases << ", orders " << s.orders
            << ", order lines " << s.orderLines << ", stock movements " << s.movements << "\n"
            << "  Built around " << (options.today.isValid() ? options.today : QDate::currentDate()).toString(Qt::ISODate)
            << " in " << QString::number(timer.elapsed() / 1000.0, 'f', 1) << " s\n"
            << "Demo login: user " << s.demoUser << ", password " << s.demoPassword << "\n"
            << "Other users: " << s.otherUsers.join(QStringLiteral("; ")) << "\n";
        return 0;
    } catch (const makedemo::DemoError &e) {
        err << "makedemo: " << e.what() << "\n";
        return 1;
    } catch (const db::DbError &e) {
        err << "makedemo: database error: " << e.message() << "\n";
        return 1;
    } catch (const std::exception &e) {
        err << "makedemo: " << e.what() << "\n";
        return 1;
    }
}
