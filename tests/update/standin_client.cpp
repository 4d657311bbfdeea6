// Stands in for the client in the launcher tests.
//   standin_client --wait-for FILE   runs until FILE exists (at most a minute)
//   standin_client [anything]        writes "restarted", its working folder and
//                                    its arguments into $ZELT_STANDIN_MARKER
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() == 2 && args.at(0) == QLatin1String("--wait-for")) {
        const QDeadlineTimer deadline(60000);
        while (!QFileInfo::exists(args.at(1)) && !deadline.hasExpired())
            QThread::msleep(20);
        return 0;
    }
    QSaveFile marker(qEnvironmentVariable("ZELT_STANDIN_MARKER"));
    if (!marker.open(QIODevice::WriteOnly))
        return 1;
    marker.write("restarted\n" + QDir::currentPath().toUtf8() + '\n' + args.join(QLatin1Char(' ')).toUtf8() + '\n');
    return marker.commit() ? 0 : 1;
}
