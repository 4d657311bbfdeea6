#pragma once

// What the data-access tests share: a real server with the REST client and
// the wait dialog set up for it, a recorder of the request cycle's closing
// steps, a paging bar and the tables the screens would declare.

#include "DataUtilsU.h"
#include "MemTable.h"
#include "PaginationU.h"
#include "RecordingPresenter.h"
#include "TestHttpServer.h"
#include "WaitDlgFrmU.h"
#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>
#include <memory>

struct ReleaseProbe
{
    std::shared_ptr<int> sentinel;
};
Q_DECLARE_METATYPE(ReleaseProbe)

// A parameter set holding a value that writes "release" to the log when its
// last copy goes, which is when the set is released. It is sent as "probe".
inline std::unique_ptr<THttpParams> probedParams(QStringList &ALog)
{
    static const bool registered = QMetaType::registerConverter<ReleaseProbe, QString>(
        [](const ReleaseProbe &) { return QStringLiteral("probe"); });
    Q_UNUSED(registered);
    const ReleaseProbe probe { std::shared_ptr<int>(new int(0), [&ALog](int *AValue) {
        delete AValue;
        ALog.append(QStringLiteral("release"));
    }) };
    auto params = std::make_unique<THttpParams>();
    params->AddParam(QStringLiteral("probe"), QVariant::fromValue(probe), pdtString, ptQuery);
    return params;
}

// Writes "thaw" when a table's views are reset at the last thaw (a frozen
// table resets them at no other time), "hide" when the wait window goes.
class CycleLog : public QObject
{
public:
    QStringList entries;

    void watchTable(Platform::MemTable *ATable, const QString &AName = QStringLiteral("thaw"))
    {
        connect(ATable, &QAbstractItemModel::modelReset, this, [this, AName] { entries.append(AName); });
    }
    void watchWaitDlg() { WaitDlgFrmOf(WaitDlg)->installEventFilter(this); }
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
    bool waitFor(const QString &AEntry, int ACount = 1)
    {
        return QTest::qWaitFor([&] { return count(AEntry) >= ACount; }, 5000);
    }
    void clear()
    {
        entries.clear();
        lastErrorText.clear();
    }
    QString lastErrorText;

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override
    {
        if (AEvent->type() == QEvent::Hide)
            entries.append(QStringLiteral("hide"));
        return QObject::eventFilter(AWatched, AEvent);
    }
};

// A port on 127.0.0.1 that nobody listens on.
inline quint16 refusedPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : quint16(9);
}

// The server, RestClient pointed at it, the wait dialog and the recording
// presenter; everything global is put back on destruction.
struct DataTestEnv
{
    TestHttpServer server;
    RecordingPresenter *presenter = nullptr;

    explicit DataTestEnv(bool AWithWaitDlg = true)
        : presenter(RecordingPresenter::install())
    {
        replaceRestClient(server.url());
        if (AWithWaitDlg)
            WaitDlg = new TWaitDlg;
    }
    // RestClient, token "tok", at AUrl; empty: at a port nobody listens on.
    static void replaceRestClient(const QString &AUrl = QString(), int AReadTimeoutMs = 5000)
    {
        delete RestClient;
        RestClient = new TZeltRestClient(
            AUrl.isEmpty() ? QStringLiteral("http://127.0.0.1:%1").arg(refusedPort()) : AUrl, 5000, AReadTimeoutMs);
        RestClient->SetHeaderData(QStringLiteral("tok"), QStringLiteral("ref"), QStringLiteral("id_ID"));
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

// The paging bar of a list screen; each reload it asks for is noted as
// "page/size".
struct PagingBar
{
    QWidget form;
    QComboBox *pageSize = new QComboBox(&form);
    QComboBox *page = new QComboBox(&form);
    QPushButton *first = new QPushButton(&form), *prev = new QPushButton(&form);
    QPushButton *next = new QPushButton(&form), *last = new QPushButton(&form);
    QLabel *pageCount = new QLabel(&form), *recordCount = new QLabel(&form);
    std::unique_ptr<TPagination> pagination;
    QStringList reloads;

    PagingBar()
    {
        page->setEditable(true);
        pageSize->addItems({ QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("50") });
        pageSize->setCurrentIndex(1);
        pagination = std::make_unique<TPagination>(pageSize, page, first, prev, next, last, pageCount, recordCount);
        pagination->SetOnPageDataChange(
            [this] { reloads.append(page->currentText() + QLatin1Char('/') + pageSize->currentText()); });
    }
};

using FT = Platform::MemTable::FieldType;

inline std::unique_ptr<Platform::MemTable> newTable(std::initializer_list<std::pair<const char *, FT>> AFields)
{
    auto t = std::make_unique<Platform::MemTable>();
    for (const auto &[name, type] : AFields)
        t->addField(QString::fromLatin1(name), type);
    t->open();
    return t;
}

// The contact table of a screen: lower-case names as the server sends them,
// one with capitals to show that names are matched in lower case.
inline std::unique_ptr<Platform::MemTable> contactTable()
{
    return newTable({ { "contact_id", FT::Integer },
                      { "Contact_Name", FT::String },
                      { "job_position", FT::String },
                      { "birth_date", FT::Date },
                      { "salary", FT::Float },
                      { "active", FT::Boolean } });
}

inline QStringList columnTexts(const Platform::MemTable &ATable, const QString &AField)
{
    QStringList texts;
    const int field = ATable.fieldIndex(AField);
    for (int r = 0; r < ATable.recordCount(); ++r)
        texts.append(ATable.cell(r, field).toString());
    return texts;
}
