#pragma once

// What the data-access tests share: a real server with the REST client and
// the wait dialog set up for it, a recorder of the request cycle's closing
// steps, and the tables the screens would declare.

#include "DataUtilsU.h"
#include "MemTable.h"
#include "RecordingPresenter.h"
#include "TestHttpServer.h"
#include "WaitDlgFrmU.h"
#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

#include <QEvent>
#include <QMetaType>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QtTest>
#include <memory>

// A parameter value that notes when the last copy of it goes, which is when
// the parameter set holding it is released. It is sent as "probe".
struct ReleaseProbe
{
    struct Sentinel
    {
        QStringList *log = nullptr;
        ~Sentinel()
        {
            if (log)
                log->append(QStringLiteral("release"));
        }
    };
    std::shared_ptr<Sentinel> sentinel;
};
Q_DECLARE_METATYPE(ReleaseProbe)

inline void registerReleaseProbe()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    QMetaType::registerConverter<ReleaseProbe, QString>([](const ReleaseProbe &) { return QStringLiteral("probe"); });
}

// A parameter set whose release is written to the log.
inline std::unique_ptr<THttpParams> probedParams(QStringList &ALog)
{
    registerReleaseProbe();
    auto params = std::make_unique<THttpParams>();
    ReleaseProbe probe;
    probe.sentinel = std::make_shared<ReleaseProbe::Sentinel>();
    probe.sentinel->log = &ALog;
    params->AddParam(QStringLiteral("probe"), QVariant::fromValue(probe), pdtString, ptQuery);
    return params;
}

// Writes "thaw" when a table's views are reset at the last thaw (nothing
// else resets them while a read runs: the table is frozen), and "hide" when
// the wait window goes.
class CycleLog : public QObject
{
public:
    QStringList entries;

    void watchTable(Platform::MemTable *ATable, const QString &AName = QStringLiteral("thaw"))
    {
        connect(ATable, &QAbstractItemModel::modelReset, this, [this, AName] { entries.append(AName); });
    }
    void watchWaitDlg()
    {
        if (WaitDlg && WaitDlg->WaitDlgFrm())
            WaitDlg->WaitDlgFrm()->installEventFilter(this);
    }
    TProc complete(const QString &AName = QStringLiteral("complete"))
    {
        return [this, AName] { entries.append(AName); };
    }
    TErrorProc error()
    {
        return [this](int AStatus, const QString &AText) {
            entries.append(QStringLiteral("error %1").arg(AStatus));
            lastErrorText = AText;
        };
    }
    int count(const QString &AEntry) const { return int(entries.count(AEntry)); }
    QString lastErrorText;

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override
    {
        if (AEvent->type() == QEvent::Hide)
            entries.append(QStringLiteral("hide"));
        return QObject::eventFilter(AWatched, AEvent);
    }
};

// The server, RestClient pointed at it with a token, the wait dialog and
// the recording presenter; everything global is put back on destruction.
struct DataTestEnv
{
    TestHttpServer server;
    RecordingPresenter *presenter = nullptr;

    explicit DataTestEnv(bool AWithWaitDlg = true)
    {
        presenter = RecordingPresenter::install();
        RestClient = new TZeltRestClient(server.url(), 5000, 5000);
        RestClient->SetHeaderData(QStringLiteral("tok"), QStringLiteral("ref"), QStringLiteral("id_ID"));
        if (AWithWaitDlg)
            WaitDlg = new TWaitDlg;
    }
    ~DataTestEnv()
    {
        delete WaitDlg;
        WaitDlg = nullptr;
        delete RestClient;
        RestClient = nullptr;
        Platform::setDialogPresenter(nullptr);
    }
};

// A port on 127.0.0.1 that nobody listens on.
inline quint16 refusedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 9;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// The contact table of a screen: lower-case names as the server sends them,
// one with capitals to show that names are matched in lower case.
inline std::unique_ptr<Platform::MemTable> contactTable()
{
    using FT = Platform::MemTable::FieldType;
    auto t = std::make_unique<Platform::MemTable>();
    t->addField(QStringLiteral("contact_id"), FT::Integer);
    t->addField(QStringLiteral("Contact_Name"), FT::String, 50);
    t->addField(QStringLiteral("job_position"), FT::String, 50);
    t->addField(QStringLiteral("birth_date"), FT::Date);
    t->addField(QStringLiteral("salary"), FT::Float);
    t->addField(QStringLiteral("active"), FT::Boolean);
    t->open();
    return t;
}

inline QStringList columnTexts(const Platform::MemTable &ATable, const QString &AField)
{
    QStringList texts;
    const int field = ATable.fieldIndex(AField);
    for (int r = 0; r < ATable.recordCount(); ++r)
        texts.append(ATable.cell(r, field).toString());
    return texts;
}
