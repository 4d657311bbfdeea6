// Data access from request to rows: list reads of 1,000, 10,000 and 100,000
// rows of 12 fields served from 127.0.0.1, and 200 small reads on a kept-alive
// connection against a fresh connection each.
//
// Figures, each against a baseline measured in this run:
//   - UI-thread busy time per response: the longest single event the UI
//     thread handled while the read ran (the completion that installs the
//     rows), plus the preparation done inside RestGet itself;
//   - request-to-rows time as a ratio to the bare transfer of the same body
//     (a synchronous GET that only gathers the bytes), and to
//     QJsonDocument::fromJson of the same body on one thread;
//   - memory per row after loading (resident growth and peak growth) as a
//     ratio to the body bytes per row;
//   - per-request time of sequential small reads, kept-alive / fresh;
//   - the floors a read cannot go below on this machine: the least a
//     reader of the body costs on one core, and the read's CPU over all
//     cores, each against the bare transfer.
//
// Besides the table, one line per size for scripts:
//   bench rows=N transfer_ratio=X ui_install_ms=X heap_per_body=X peak_per_body=X fromjson_ratio=X

#include "DataUtilsU.h"
#include "JsonDataSet.h"
#include "MemTable.h"
#include "TestHttpServer.h"
#include "ZeltRestClientU.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <malloc.h>
#include <map>
#include <simdjson.h>
#include <string_view>
#include <cstdio>
#include <vector>

namespace {

using FT = Platform::MemTable::FieldType;

// Times every event the UI thread handles (outermost delivery only).
class TimingApp : public QCoreApplication
{
public:
    using QCoreApplication::QCoreApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        // every thread's events come here; only the UI thread's count
        if (QThread::currentThread() != thread())
            return QCoreApplication::notify(receiver, event);
        if (m_depth++ > 0) {
            const bool r = QCoreApplication::notify(receiver, event);
            --m_depth;
            return r;
        }
        QElapsedTimer t;
        t.start();
        const qint64 cpu0 = threadCpuNs();
        const bool r = QCoreApplication::notify(receiver, event);
        const qint64 ns = t.nsecsElapsed();
        const qint64 cpu = threadCpuNs() - cpu0;
        --m_depth;
        if (recording) {
            longestNs = std::max(longestNs, ns);
            totalNs += ns;
            longestCpuNs = std::max(longestCpuNs, cpu);
            totalCpuNs += cpu;
        }
        return r;
    }

    static qint64 threadCpuNs()
    {
        timespec ts {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    }

    void reset()
    {
        longestNs = 0;
        totalNs = 0;
        longestCpuNs = 0;
        totalCpuNs = 0;
    }

    bool recording = false;
    qint64 longestNs = 0;
    qint64 totalNs = 0;
    qint64 longestCpuNs = 0; // the UI thread's own CPU time, whatever else runs
    qint64 totalCpuNs = 0;

private:
    int m_depth = 0;
};

qint64 heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
}

struct MemStatus
{
    qint64 rssKb = 0;
    qint64 hwmKb = 0;
};

MemStatus memStatus()
{
    MemStatus s;
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return s;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray &line : lines) {
        auto value = [&](const char *name) {
            return line.mid(qstrlen(name)).trimmed().split(' ').value(0).toLongLong();
        };
        if (line.startsWith("VmRSS:"))
            s.rssKb = value("VmRSS:");
        else if (line.startsWith("VmHWM:"))
            s.hwmKb = value("VmHWM:");
    }
    return s;
}

// Resets the peak to the current resident size; false where the kernel does
// not allow it.
bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write("5") == 1;
}

std::unique_ptr<Platform::MemTable> makeTable()
{
    auto t = std::make_unique<Platform::MemTable>();
    t->addField(QStringLiteral("item_id"), FT::Integer);
    t->addField(QStringLiteral("item_code"), FT::String, 20);
    t->addField(QStringLiteral("item_name"), FT::String, 100);
    t->addField(QStringLiteral("description"), FT::Memo);
    t->addField(QStringLiteral("uom"), FT::String, 10);
    t->addField(QStringLiteral("qty"), FT::Float);
    t->addField(QStringLiteral("price"), FT::Float);
    t->addField(QStringLiteral("amount"), FT::Float);
    t->addField(QStringLiteral("status"), FT::SmallInt);
    t->addField(QStringLiteral("active"), FT::Boolean);
    t->addField(QStringLiteral("doc_date"), FT::Date);
    t->addField(QStringLiteral("created_at"), FT::DateTime);
    t->open();
    return t;
}

QByteArray listBody(int rows)
{
    QByteArray b;
    b.reserve(qsizetype(rows) * 300 + 200);
    b += "{\"data\":[";
    for (int i = 0; i < rows; ++i) {
        if (i)
            b += ',';
        const QByteArray n = QByteArray::number(i);
        b += "{\"item_id\":" + n + ",\"item_code\":\"ITM-" + n + "\",\"item_name\":\"Printer paper A4 80gsm no. " + n
            + "\",\"description\":\"Box of five reams, white, for laser and ink-jet printers\",\"uom\":\"BOX\""
            + ",\"qty\":" + QByteArray::number(i % 97) + ".5,\"price\":" + QByteArray::number(10000 + i % 1000)
            + ",\"amount\":" + QByteArray::number((i % 97) * 1.5 + 0.25) + ",\"status\":" + QByteArray::number(i % 3)
            + ",\"active\":" + (i % 2 ? "true" : "false") + ",\"doc_date\":\"2024-05-" + QByteArray::number(10 + i % 19)
            + "\",\"created_at\":\"2024-05-02T08:" + QByteArray::number(10 + i % 50) + ":00Z\"}";
    }
    b += "],\"pages\":{\"page\":1,\"page_rows\":" + QByteArray::number(rows)
        + ",\"page_count\":1,\"rec_count\":" + QByteArray::number(rows) + "}}";
    return b;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// CPU time of each thread of the process so far, in ms, by thread name
// (Linux: the scheduler's run time of every task), so that a figure shows
// which thread a read's time went to.
std::map<QByteArray, double> cpuByThread()
{
    std::map<QByteArray, double> m;
    const QStringList tasks = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &task : tasks) {
        const QString dir = QStringLiteral("/proc/self/task/") + task;
        QFile comm(dir + QStringLiteral("/comm"));
        QFile sched(dir + QStringLiteral("/schedstat"));
        if (!comm.open(QIODevice::ReadOnly) || !sched.open(QIODevice::ReadOnly))
            continue;
        m[comm.readAll().trimmed()] += sched.readAll().split(' ').value(0).toDouble() / 1e6;
    }
    return m;
}

// The threads' CPU over one run, added to `sums` under short names.
void addCpu(std::map<QByteArray, std::vector<double>> &sums, const std::map<QByteArray, double> &before)
{
    static const std::pair<const char *, const char *> names[] = {
        { "Platform::Async", "reader" },
        { "Platform::Netwo", "network" },
        { "QNetworkAccessM", "qt-http" },
        { "TestHttpServer", "server" },
    };
    std::map<QByteArray, double> run;
    for (const auto &[name, ms] : cpuByThread()) {
        const auto was = before.find(name);
        const double spent = ms - (was == before.end() ? 0.0 : was->second);
        QByteArray label("ui");
        for (const auto &[prefix, shortName] : names) {
            if (name.startsWith(prefix))
                label = shortName;
        }
        run[label] += spent;
    }
    for (const auto &[label, ms] : run)
        sums[label].push_back(ms);
}

QEventLoop *waitingLoop = nullptr;

// Runs the event loop until finished() is called, without the polling sleeps
// of QTest::qWaitFor that would add their own latency to every request.
bool waitUntil(const bool &done, int timeoutMs)
{
    if (done)
        return true;
    QEventLoop loop;
    waitingLoop = &loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    waitingLoop = nullptr;
    return done;
}

void finished(bool &done)
{
    done = true;
    if (waitingLoop)
        waitingLoop->quit();
}

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

// The least any reader of this body can cost on one core: simdjson's
// On-Demand iteration over every member, and the same with the plainest
// conversions into typed columns allocated up front (no checks, no
// fallbacks, the body's shape assumed). Against it the bare transfer tells
// what ratio the machine allows at all.
struct ReaderFloor
{
    double iterateMs = 0;
    double convertMs = 0;
};

ReaderFloor readerFloor(const QByteArray &body, qsizetype rows, int runs)
{
    namespace od = simdjson::ondemand;
    static constexpr std::string_view names[] = { "item_id", "item_code", "item_name", "description",
                                                  "uom",     "qty",       "price",     "amount",
                                                  "status",  "active",    "doc_date",  "created_at" };
    enum Kind { Int, Text, Real, Bool, Day, Moment };
    static constexpr Kind kinds[] = { Int, Text, Text, Text, Text, Real, Real, Real, Int, Bool, Day, Moment };
    struct Span
    {
        quint32 offset, length;
    };
    const simdjson::padded_string text(body.constData(), size_t(body.size()));
    od::parser parser;
    std::vector<std::vector<qint64>> longs(12, std::vector<qint64>(size_t(rows)));
    std::vector<std::vector<double>> reals(12, std::vector<double>(size_t(rows)));
    std::vector<std::vector<Span>> spans(12, std::vector<Span>(size_t(rows)));
    std::vector<std::string> bytes(12);
    for (std::string &b : bytes)
        b.reserve(size_t(body.size()) / 4);
    auto digits = [](const char *p, int n) {
        int v = 0;
        for (int i = 0; i < n; ++i)
            v = v * 10 + (p[i] - '0');
        return v;
    };
    auto julianDay = [](int y, int m, int d) {
        const int a = (14 - m) / 12;
        const qint64 yy = y + 4800 - a;
        const int mm = m + 12 * a - 3;
        return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
    };
    auto pass = [&](bool convert) {
        QElapsedTimer t;
        t.start();
        for (std::string &b : bytes)
            b.clear();
        size_t row = 0;
        size_t seen = 0;
        od::document doc = parser.iterate(text);
        for (auto element : doc["data"].get_array()) {
            int next = 0;
            for (auto member : element.get_object()) {
                const std::string_view key = member.unescaped_key();
                od::value v = member.value();
                const std::string_view token = v.raw_json_token();
                seen += token.size();
                if (!convert)
                    continue;
                int f = next < 12 && key == names[next] ? next : -1;
                for (int i = 0; f < 0 && i < 12; ++i)
                    f = key == names[i] ? i : -1;
                if (f < 0)
                    continue;
                next = f + 1;
                const char *q = token.data();
                switch (kinds[f]) {
                case Int: {
                    qint64 x = 0;
                    for (size_t i = 0; i < token.size() && unsigned(q[i] - '0') < 10; ++i)
                        x = x * 10 + (q[i] - '0');
                    longs[size_t(f)][row] = x;
                    break;
                }
                case Text: {
                    const size_t end = token.find('"', 1);
                    spans[size_t(f)][row] = { quint32(bytes[size_t(f)].size()), quint32(end - 1) };
                    bytes[size_t(f)].append(q + 1, end - 1);
                    break;
                }
                case Real: {
                    static constexpr double powers[] = { 1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8 };
                    quint64 m = 0;
                    size_t i = 0;
                    int decimals = 0;
                    for (; i < token.size() && unsigned(q[i] - '0') < 10; ++i)
                        m = m * 10 + unsigned(q[i] - '0');
                    if (i < token.size() && q[i] == '.')
                        for (++i; i < token.size() && unsigned(q[i] - '0') < 10 && decimals < 8; ++i, ++decimals)
                            m = m * 10 + unsigned(q[i] - '0');
                    reals[size_t(f)][row] = double(m) / powers[decimals];
                    break;
                }
                case Bool: longs[size_t(f)][row] = q[0] == 't'; break;
                case Day:
                case Moment: {
                    qint64 day = julianDay(digits(q + 1, 4), digits(q + 6, 2), digits(q + 9, 2));
                    if (kinds[f] == Moment)
                        day = (day - 2440588) * 86400000
                            + (digits(q + 12, 2) * 3600 + digits(q + 15, 2) * 60 + digits(q + 18, 2)) * 1000;
                    longs[size_t(f)][row] = day;
                    break;
                }
                }
            }
            ++row;
        }
        if (row != size_t(rows) || seen == 0)
            return -1.0;
        return ms(t.nsecsElapsed());
    };
    ReaderFloor f;
    std::vector<double> iterate, convert;
    for (int r = 0; r < runs; ++r) {
        iterate.push_back(pass(false));
        convert.push_back(pass(true));
    }
    f.iterateMs = median(iterate);
    f.convertMs = median(convert);
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    TimingApp app(argc, argv);
    TestHttpServer server;
    RestClient = new TZeltRestClient(server.url(), 30000, 60000);
    RestClient->SetHeaderData(QStringLiteral("tok"), QStringLiteral("ref"), QStringLiteral("en_US"));

    std::printf("Data access benchmark (12 fields per row, server on 127.0.0.1)\n\n");
    const bool canResetPeak = resetPeak();

    std::printf("%7s %7s | %-29s | %-29s | %-25s | %s\n", "rows", "body", "UI thread ms: start compl total",
                "  UI CPU ms: start compl total", "req->rows fromJson ratio",
                "per row: body  table  t/body  peak/body");

    std::vector<double> transfers;
    std::vector<double> readers;
    std::vector<ReaderFloor> floors;
    std::vector<QByteArray> cpuLines;
    std::vector<QByteArray> lines;
    for (const int rows : { 1000, 10000, 100000 }) {
        const QByteArray body = listBody(rows);
        server.clear();
        server.setHandler([&body](const RecordedRequest &) { return Reply::json(body); });
        const int runs = rows >= 100000 ? 7 : 5;

        // the bare parse of the same body
        std::vector<double> parseMs;
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer t;
            t.start();
            QJsonDocument doc = QJsonDocument::fromJson(body);
            parseMs.push_back(ms(t.nsecsElapsed()));
            if (!doc.isObject())
                return 1;
        }

        // one read into a table, timed; with measureMemory the heap held by
        // the rows and the peak growth over the read are taken too
        std::vector<double> startMs, completionMs, uiTotalMs, startCpuMs, completionCpuMs, uiTotalCpuMs, requestMs;
        std::map<QByteArray, std::vector<double>> readCpu, transferCpu;
        double tablePerRow = 0;
        double peakPerBody = 0;
        auto readOnce = [&](bool record, bool measureMemory) {
            auto table = makeTable();
            MemStatus before;
            qint64 heapBefore = 0;
            if (measureMemory) {
                // freed memory of earlier runs back to the system, so that growth shows
                malloc_trim(0);
                before = memStatus();
                heapBefore = heapInUse();
                if (canResetPeak)
                    resetPeak();
            }
            bool done = false;
            // not on the run that measures memory: the listing allocates
            const auto threadsBefore = record ? cpuByThread() : std::map<QByteArray, double>();
            app.reset();
            app.recording = true;
            QElapsedTimer t;
            t.start();
            const qint64 cpu0 = TimingApp::threadCpuNs();
            RestGet(
                QStringLiteral("/prc/v1/master/items"), table.get(), nullptr, nullptr, nullptr, [&] { finished(done); },
                [](int status, const QString &text) {
                    std::fprintf(stderr, "failed: %d %s\n", status, qPrintable(text.left(200)));
                },
                false, false);
            const qint64 startNs = t.nsecsElapsed();
            const qint64 startCpu = TimingApp::threadCpuNs() - cpu0;
            if (!waitUntil(done, 120000))
                return false;
            const qint64 requestNs = t.nsecsElapsed();
            app.recording = false;
            if (table->recordCount() != rows) {
                std::fprintf(stderr, "expected %d rows, got %d\n", rows, table->recordCount());
                return false;
            }
            if (measureMemory) {
                const MemStatus after = memStatus();
                tablePerRow = double(heapInUse() - heapBefore) / rows;
                peakPerBody = double(after.hwmKb - before.rssKb) * 1024.0 / double(body.size());
            }
            if (record) {
                startMs.push_back(ms(startNs));
                completionMs.push_back(ms(app.longestNs));
                uiTotalMs.push_back(ms(app.totalNs + startNs));
                startCpuMs.push_back(ms(startCpu));
                completionCpuMs.push_back(ms(app.longestCpuNs));
                uiTotalCpuMs.push_back(ms(app.totalCpuNs + startCpu));
                requestMs.push_back(ms(requestNs));
                addCpu(readCpu, threadsBefore);
            }
            return true;
        };
        // the bare transfer of the same body, for where the time goes
        std::vector<double> transferMs;
        double transferPeakPerBody = 0;
        auto transferOnce = [&](bool measureMemory) {
            MemStatus before;
            if (measureMemory) {
                malloc_trim(0);
                before = memStatus();
                if (canResetPeak)
                    resetPeak();
            }
            auto client = RestClient->CreateRestClient(true);
            const auto threadsBefore = cpuByThread();
            QElapsedTimer t;
            t.start();
            const Platform::HttpResponse response = client->get(QStringLiteral("/prc/v1/master/items"));
            transferMs.push_back(ms(t.nsecsElapsed()));
            addCpu(transferCpu, threadsBefore);
            if (response.body.size() != body.size())
                return false;
            if (measureMemory)
                transferPeakPerBody = double(memStatus().hwmKb - before.rssKb) * 1024.0 / double(body.size());
            return true;
        };

        // The first read of a size pays for fresh memory; the timed ones run
        // warm, each followed by a bare transfer, so that both figures of the
        // ratio see the machine in the same state.
        if (!readOnce(false, true))
            return 2;
        for (int r = 0; r < runs; ++r) {
            if (!readOnce(true, false))
                return 2;
            if (!transferOnce(r == 0))
                return 4;
        }

        // the list reader alone, on this thread, the body given in pieces as
        // the network hands it over: what the read adds to the transfer
        std::vector<double> readerMs;
        const auto fields = makeTable()->fieldDefs();
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer t;
            t.start();
            Platform::JsonDataSet::ArrayMemberReader reader(fields, QStringLiteral("data"));
            reader.expectSize(body.size());
            for (qsizetype at = 0; at < body.size(); at += 65536)
                reader.append(body.constData() + at, std::min<qsizetype>(65536, body.size() - at));
            const Platform::JsonDataSet::ParsedRows parsed = reader.finish();
            readerMs.push_back(ms(t.nsecsElapsed()));
            if (parsed.rows.size() != rows)
                return 1;
        }
        readers.push_back(median(readerMs));
        transfers.push_back(median(transferMs));
        const ReaderFloor floor = readerFloor(body, rows, runs);
        if (floor.convertMs < 0)
            return 1;
        floors.push_back(floor);
        if (rows == 100000) {
            auto show = [](const std::map<QByteArray, std::vector<double>> &cpu) {
                QByteArray text;
                for (const auto &[label, values] : cpu)
                    if (median(values) >= 0.05)
                        text += ' ' + label + '=' + QByteArray::number(median(values), 'f', 1);
                return text;
            };
            cpuLines.push_back("CPU ms by thread, medians at 100,000 rows: read" + show(readCpu) + "; bare transfer"
                               + show(transferCpu));
            // however a read shares its work among the cores, it cannot end
            // before all of it is done on all of them
            double readCpuMs = 0;
            for (const auto &[label, values] : readCpu)
                readCpuMs += median(values);
            const int cores = std::max(QThread::idealThreadCount(), 1);
            cpuLines.push_back(
                "a read's CPU spread over all " + QByteArray::number(cores) + " cores allows no ratio below "
                + QByteArray::number(readCpuMs / cores / median(transferMs), 'f', 2) + " at 100,000 rows");
        }
        const double bytesPerRow = double(body.size()) / rows;
        std::printf(
            "%7d %6.1fM | %9.2f %9.2f %9.2f | %9.2f %9.2f %9.2f | %8.1f %8.1f %7.2f | %9.0f %6.0f %7.2f %10.2f\n", rows,
            double(body.size()) / 1048576.0, median(startMs), median(completionMs), median(uiTotalMs),
            median(startCpuMs), median(completionCpuMs), median(uiTotalCpuMs), median(requestMs), median(parseMs),
            median(requestMs) / median(parseMs), bytesPerRow, tablePerRow, tablePerRow / bytesPerRow, peakPerBody);
        lines.push_back(QByteArray("bench rows=") + QByteArray::number(rows)
                        + " transfer_ratio=" + QByteArray::number(median(requestMs) / median(transferMs), 'f', 2)
                        + " ui_install_ms=" + QByteArray::number(median(completionMs), 'f', 2)
                        + " heap_per_body=" + QByteArray::number(tablePerRow / bytesPerRow, 'f', 2)
                        + " peak_per_body=" + QByteArray::number(peakPerBody, 'f', 2)
                        + " fromjson_ratio=" + QByteArray::number(median(requestMs) / median(parseMs), 'f', 2)
                        + " transfer_peak_per_body=" + QByteArray::number(transferPeakPerBody, 'f', 2));
    }
    std::printf("bare transfer of the same bodies (synchronous GET, no parse): %.1f ms, %.1f ms, %.1f ms\n",
                transfers.at(0), transfers.at(1), transfers.at(2));
    std::printf("the list reader alone (body in memory, 64 KiB pieces): %.1f ms, %.1f ms, %.1f ms\n", readers.at(0),
                readers.at(1), readers.at(2));
    std::printf("the least a reader costs on one core (simdjson On-Demand, body in memory): iteration alone %.1f ms, "
                "%.1f ms, %.1f ms; with plain conversions into columns allocated up front %.1f ms, %.1f ms, %.1f ms\n",
                floors.at(0).iterateMs, floors.at(1).iterateMs, floors.at(2).iterateMs, floors.at(0).convertMs,
                floors.at(1).convertMs, floors.at(2).convertMs);
    std::printf("so the ratio to the bare transfer no single-threaded read can go below: %.2f, %.2f, %.2f\n",
                floors.at(0).convertMs / transfers.at(0), floors.at(1).convertMs / transfers.at(1),
                floors.at(2).convertMs / transfers.at(2));
    for (const QByteArray &line : cpuLines)
        std::printf("%s\n", line.constData());
    if (!canResetPeak)
        std::printf("(the peak could not be reset: peak/body is against the process peak)\n");
    std::printf("\nstart: inside RestGet (freeze, empty the table, start the task); compl: the longest UI event\n"
                "while the read ran (the completion installing the rows); total: all UI-thread work of the read.\n"
                "UI CPU: the same in the UI thread's own CPU time, unaffected by other processes.\n"
                "table: heap held by the loaded rows; peak/body: peak resident growth during a first (cold) read\n"
                "over the body size. Times: medians of 5 warm runs (7 at 100,000 rows), reads and transfers taken in "
                "turn.\n\n");
    for (const QByteArray &line : lines)
        std::printf("%s\n", line.constData());
    std::printf("\n");

    // 200 sequential small reads: one kept-alive connection against a fresh
    // connection each time (the server's answers say "Connection: close").
    const QByteArray small = listBody(3);
    auto loop = [&](bool fresh, int &connections) {
        server.clear();
        const int connectionsBefore = server.connectionCount();
        server.setHandler([&](const RecordedRequest &) {
            Reply reply = Reply::json(small);
            if (fresh)
                reply.addHeader("Connection", "close");
            return reply;
        });
        auto table = makeTable();
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 200; ++i) {
            bool done = false;
            RestGet(
                QStringLiteral("/prc/v1/master/items"), table.get(), nullptr, nullptr, nullptr, [&] { finished(done); },
                [](int, const QString &) {}, false, false);
            if (!waitUntil(done, 10000))
                return -1.0;
        }
        const double perRequest = ms(t.nsecsElapsed()) / 200.0;
        connections = server.connectionCount() - connectionsBefore;
        return perRequest;
    };
    int keptConnections = 0;
    int freshConnections = 0;
    loop(false, keptConnections); // warm-up
    const double kept = loop(false, keptConnections);
    const double fresh = loop(true, freshConnections);
    std::printf("200 sequential small reads: kept-alive %.3f ms/request (%d new connections), "
                "fresh %.3f ms/request (%d new connections), ratio %.2f\n",
                kept, keptConnections, fresh, freshConnections, fresh > 0 ? kept / fresh : 0.0);

    delete RestClient;
    RestClient = nullptr;
    return 0;
}
