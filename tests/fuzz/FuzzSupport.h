#pragma once

// What the fuzz targets share. A target is one LLVMFuzzerTestOneInput; the
// same source builds into a libFuzzer program (ZELT_FUZZ) or into a plain
// program that replays the target's corpus as part of the test suite.

// targets that stand on Qt Core alone (the update record) go without com
#if __has_include("AppPaths.h")
#define ZELT_FUZZ_WITH_COM 1
#include "AppPaths.h"
#include "DialogPresenter.h"
#endif

#include <QByteArray>
#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QCoreApplication>
#include <QEvent>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

// A broken property is a finding: say which and stop, so that libFuzzer keeps
// the input and the replay fails.
#define FUZZ_CHECK(cond, what)                                                                                         \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            ::Fuzz::fail(__FILE__, __LINE__, #cond, what);                                                             \
    } while (0)

namespace Fuzz {

[[noreturn]] inline void fail(const char *file, int line, const char *cond, const QString &what)
{
    std::fprintf(stderr, "%s:%d: property broken: %s\n  %s\n", file, line, cond, qPrintable(what));
    std::fflush(stderr);
    std::abort();
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Made once per process, before the first input: QCoreApplication,
// QGuiApplication or QApplication, whichever the unit needs. Offscreen.
template<typename App> App &application()
{
    static int argc = 1;
    static char name[] = "zelt-fuzz";
    static char *argv[] = { name, nullptr };
    static App *app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return new App(argc, argv); // lives as long as the process
    }();
    return *app;
}

// A JSON value as text, in its CBOR form: Qt's own equality, look-up by name
// and QString of a text starting with U+FEFF drop that character (the CBOR
// bytes keep it), and its member order differs between two reads of names
// holding U+0000. Members named in `skip` (as CBOR bytes) are left out.
inline QString canonical(const QCborValue &value, const QList<QByteArray> &skip = {})
{
    if (value.isMap()) {
        const QCborMap object = value.toMap();
        QStringList members;
        for (auto it = object.begin(); it != object.end(); ++it) {
            const QByteArray name = it.key().toCbor();
            if (!skip.contains(name))
                members << QString::fromLatin1(name.toHex()) + QLatin1Char('=') + canonical(it.value());
        }
        members.sort();
        return QLatin1Char('{') + members.join(QLatin1Char(',')) + QLatin1Char('}');
    }
    if (value.isArray()) {
        QStringList items;
        for (const QCborValue &item : value.toArray())
            items << canonical(item);
        return QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
    }
    return QString::fromLatin1(value.toCbor().toHex());
}

// What the event loop does between two user actions: posted calls run and
// widgets given up with deleteLater() go. Without it every input leaves its
// discarded widgets behind, and the run slows down as they pile up.
inline void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

#ifdef ZELT_FUZZ_WITH_COM
// An empty application folder of its own, so that nothing a target does
// reads or writes files of the build.
inline const QString &emptyApplicationFolder()
{
    static QTemporaryDir dir;
    static const QString folder = [] {
        Platform::setApplicationFolder(dir.path());
        return Platform::applicationFolder();
    }();
    return folder;
}

// Counts the messages instead of showing them.
class QuietPresenter : public Platform::DialogPresenter
{
public:
    static QuietPresenter &install()
    {
        static QuietPresenter *installed = [] {
            auto presenter = std::make_unique<QuietPresenter>();
            QuietPresenter *p = presenter.get();
            Platform::setDialogPresenter(std::move(presenter));
            return p;
        }();
        return *installed;
    }

    int showMessage(const QString &text, Platform::MessageKind kind, Platform::MessageButtons) override
    {
        texts << text;
        kinds << kind;
        return 1;
    }
    int showModal(QDialog &) override
    {
        ++modals;
        return 2;
    }
    void clear()
    {
        texts.clear();
        kinds.clear();
        modals = 0;
    }

    QStringList texts;
    QList<Platform::MessageKind> kinds;
    int modals = 0;
};

#endif

} // namespace Fuzz
