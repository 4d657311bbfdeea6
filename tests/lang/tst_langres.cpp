#include "CrmResU.h"
#include "AppPaths.h"
#include "ComDmU.h"
#include "IniFile.h"
#include "LangResU.h"
#include "Localizer.h"
#include "ResourceStrings.h"
#include "TempAppFolder.h"

#include <QFile>
#include <QSet>
#include <QStringDecoder>
#include <QtTest>
#include <memory>

using Platform::ResourceString;
using Platform::ResourceStringRepository;

namespace {

// Representative entries: the ends of the catalogue, the odd-case names, the
// empty text and the misspelt one. The whole catalogue is checked by count,
// uniqueness and against the shipped translation file.
struct Entry
{
    int index;
    const char *name;
    const char *english;
};
const Entry Samples[] = {
    { 0, "sAppClose", "Close" },
    { 3, "sErrSignInFailed", "Invalid email or password." },
    { 35, "slabelAddExistingItem", "Add Existing Item" },
    { 44, "slabelCity", "" },
    { 68, "sLabelOfPage", "of" },
    { 92, "sLabelTotalRecord", "Total :" },
    { 93, "sLabelType", "Type" },
    { 94, "slabelUnitPrice", "Price" },
    { 122, "sMsgHttpUndefinedError", "Udefined Error." },
    { 127, "sMsgSessionExpired", "Session has expired, please re-login." },
};

QList<const ResourceString *> catalogue()
{
    return ResourceStringRepository::instance().strings(QStringLiteral("Custom Resource Strings"));
}

class CountingListener : public Platform::LocalizerListener
{
public:
    void TranslationChanged() override
    {
        ++calls;
        seen = sMsgSaved.text();
    }
    int calls = 0;
    QString seen;
};

// Counts calls in a place that outlives the listener, so a call on a dead
// listener would show.
int deadListenerCalls = 0;
class DyingListener : public Platform::LocalizerListener
{
public:
    void TranslationChanged() override { ++deadListenerCalls; }
};

} // namespace

class tst_LangRes : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void catalogueHas128Entries();
    void registeredInCatalogueOrder();
    void englishTextsLetterForLetter();
    void namesAreUniqueWhateverTheCase();
    void addResourceStringNamesAppends();
    void registrationCanBeUndone();

    void shippedFileTranslatesEveryName();
    void shippedFileHasNoUnknownOrDuplicateNames();
    void shippedFileIsUtf8AndKeepsPunctuation();

    void switchingLanguageNotifiesAndTranslates();
    void untranslatedNameFallsBackToEnglish();
    void indexOutsideListSelectsEnglish();
    void deadListenerIsNotCalled();
    void listenerRemovingItselfWhileTold();

private:
    static QString shippedLangIni() { return Platform::applicationFolder() + QStringLiteral("lang.ini"); }
};

void tst_LangRes::init()
{
    // the shipped file, whatever an earlier test had it read
    ComDm->locLang->reload();
}

void tst_LangRes::cleanup()
{
    ComDm->locLang->setLanguageIndex(-1);
}

void tst_LangRes::catalogueHas128Entries()
{
    QCOMPARE(QString::fromLatin1(LangResProductName), QStringLiteral("Custom Resource Strings"));
    QCOMPARE(catalogue().size(), 128);
}

void tst_LangRes::registeredInCatalogueOrder()
{
    const auto strings = catalogue();
    for (const Entry &e : Samples)
        QCOMPARE(strings.at(e.index)->nameText(), QString::fromLatin1(e.name));
    // the registered entries are the unit's own objects
    QCOMPARE(strings.constFirst(), &sAppClose);
    QCOMPARE(strings.at(44), &slabelCity);
    QCOMPARE(strings.constLast(), &sMsgSessionExpired);
    QCOMPARE(ResourceStringRepository::instance().find(QStringLiteral("sMsgSaved")), &sMsgSaved);
    // the lower-case "slabel" is part of the name
    QCOMPARE(ResourceStringRepository::instance().find(QStringLiteral("sLabelUnitPrice")), nullptr);
}

void tst_LangRes::englishTextsLetterForLetter()
{
    ComDm->locLang->setLanguageIndex(-1);
    for (const Entry &e : Samples) {
        const ResourceString *s = ResourceStringRepository::instance().find(QString::fromLatin1(e.name));
        QVERIFY2(s, e.name);
        QCOMPARE(s->englishText(), QString::fromUtf8(e.english));
        // no language active: every fetch gives the English text
        QCOMPARE(s->text(), QString::fromUtf8(e.english));
    }
}

void tst_LangRes::namesAreUniqueWhateverTheCase()
{
    // the language file matches keys without regard to case
    QSet<QString> seen;
    for (const ResourceString *s : catalogue()) {
        const QString lower = s->nameText().toLower();
        QVERIFY2(!seen.contains(lower), qPrintable(s->nameText()));
        seen.insert(lower);
        // only the one known entry has no English text
        QVERIFY2(!s->englishText().isEmpty() || s == &slabelCity, qPrintable(s->nameText()));
    }
}

void tst_LangRes::addResourceStringNamesAppends()
{
    QList<const ResourceString *> product { &sMsgSaved };
    AddResourceStringNames(product);
    QCOMPARE(product.size(), 129);
    QCOMPARE(product.at(0), &sMsgSaved);
    QCOMPARE(product.at(1), &sAppClose);
    QCOMPARE(product.constLast(), &sMsgSessionExpired);
}

void tst_LangRes::registrationCanBeUndone()
{
    auto &repo = ResourceStringRepository::instance();
    QVERIFY(repo.hasProduct(QStringLiteral("Custom Resource Strings")));
    LangResU_Finalize();
    QVERIFY(!repo.hasProduct(QStringLiteral("Custom Resource Strings")));
    QCOMPARE(repo.find(QStringLiteral("sMsgSaved")), nullptr);
    LangResU_Initialize();
    QVERIFY(repo.hasProduct(QStringLiteral("Custom Resource Strings")));
    QCOMPARE(repo.strings(QStringLiteral("Custom Resource Strings")).size(), 128);
}

void tst_LangRes::shippedFileTranslatesEveryName()
{
    QVERIFY2(QFile::exists(shippedLangIni()), qPrintable(shippedLangIni()));
    Platform::Localizer loc;
    loc.setFileName(QStringLiteral("lang.ini"));
    loc.setActive(true);
    QCOMPARE(loc.languages(), QStringList { QStringLiteral("id_ID") });
    QCOMPARE(loc.languageName(0), QStringLiteral("Bahasa (ID)"));
    int differing = 0;
    for (const ResourceString *s : catalogue()) {
        const QString t = loc.translation(0, s->nameText());
        QVERIFY2(!t.isEmpty(), qPrintable(s->nameText()));
        if (t != s->englishText())
            ++differing;
    }
    // a few words are the same in both languages (Bank, Status, Total, ID,
    // Email); the rest must really be translated
    QVERIFY2(differing >= 118, qPrintable(QString::number(differing)));

    QCOMPARE(loc.translation(0, QStringLiteral("sMsgSaved")), QStringLiteral("Data telah disimpan."));
    QCOMPARE(loc.translation(0, QStringLiteral("sMsgDeleteConfirm")),
             QStringLiteral("Apakah Anda yakin ingin menghapus data ini?"));
    QCOMPARE(loc.translation(0, QStringLiteral("slabelCity")), QStringLiteral("Kota"));
    QCOMPARE(loc.translation(0, QStringLiteral("sLabelSearch")), QStringLiteral("Cari"));
    QCOMPARE(loc.translation(0, QStringLiteral("sLabelOr")), QStringLiteral("atau"));
}

void tst_LangRes::shippedFileHasNoUnknownOrDuplicateNames()
{
    QSet<QString> names;
    for (const ResourceString *s : catalogue())
        names.insert(s->nameText());
    QSet<QString> moduleNames;
    for (const ResourceString *s : CrmResourceStrings())
        moduleNames.insert(s->nameText());

    QFile file(shippedLangIni());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QSet<QString> keys;
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('[')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        QVERIFY2(eq > 0, qPrintable(line));
        const QString key = line.left(eq).trimmed();
        QVERIFY2(!keys.contains(key), qPrintable(QStringLiteral("duplicate ") + key));
        keys.insert(key);
        // other units may register texts of their own beside the catalogue
        QVERIFY2(key == QStringLiteral("LanguageName") || names.contains(key) || moduleNames.contains(key)
                     || ResourceStringRepository::instance().find(key),
                 qPrintable(QStringLiteral("unknown name ") + key));
    }
    QVERIFY(keys.contains(QStringLiteral("LanguageName")));
    for (const QString &name : std::as_const(names))
        QVERIFY2(keys.contains(name), qPrintable(name));
}

void tst_LangRes::shippedFileIsUtf8AndKeepsPunctuation()
{
    QFile file(shippedLangIni());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray raw = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(raw);
    QVERIFY(!decoder.hasError());
    QVERIFY(!raw.startsWith("\xEF\xBB\xBF")); // no byte-order mark before the first section
    Q_UNUSED(text);

    // messages end as their English texts do: a question stays a question
    const Platform::IniFile ini = Platform::IniFile::fromFile(shippedLangIni());
    for (const ResourceString *s : catalogue()) {
        const QString name = s->nameText();
        if (!name.startsWith(QStringLiteral("sMsg")) && !name.startsWith(QStringLiteral("sErr"))
            && !name.startsWith(QStringLiteral("sLogin")))
            continue;
        const QString english = s->englishText();
        const QString translated = ini.readString(QStringLiteral("id_ID"), name);
        const QChar last = english.back();
        if (last.isPunct())
            QVERIFY2(translated.endsWith(last), qPrintable(name));
        else
            QVERIFY2(!translated.back().isPunct(), qPrintable(name));
    }
}

void tst_LangRes::switchingLanguageNotifiesAndTranslates()
{
    // Given the program's localizer reading the shipped file
    Platform::Localizer *loc = ComDm->locLang;
    loc->reload();
    CountingListener listener;
    ResourceStringRepository::instance().addListener(&listener);

    // When Indonesian is selected
    loc->setLanguageIndex(0);

    // Then the listener is told once and every fetch is Indonesian
    QCOMPARE(listener.calls, 1);
    QCOMPARE(listener.seen, QStringLiteral("Data telah disimpan."));
    QCOMPARE(loc->languageIndex(), 0);
    QCOMPARE(sMsgSaved.text(), QStringLiteral("Data telah disimpan."));
    QCOMPARE(sMsgDeleteConfirm.text(), QStringLiteral("Apakah Anda yakin ingin menghapus data ini?"));
    QCOMPARE(slabelCity.text(), QStringLiteral("Kota"));
    for (const ResourceString *s : catalogue())
        QCOMPARE(s->text(), loc->translation(0, s->nameText()));

    // and back to English
    loc->setLanguageIndex(-1);
    QCOMPARE(listener.calls, 2);
    QCOMPARE(listener.seen, QStringLiteral("Data has been saved."));
    QCOMPARE(slabelCity.text(), QString());
    ResourceStringRepository::instance().removeListener(&listener);
    loc->setLanguageIndex(0);
    QCOMPARE(listener.calls, 2);
}

void tst_LangRes::untranslatedNameFallsBackToEnglish()
{
    TempAppFolder folder;
    folder.write(QStringLiteral("lang.ini"), "[id_ID]\nLanguageName=Bahasa (ID)\nsMsgSaved=Data telah disimpan.\n"
                                             "sLabelCity=Kota\n");
    Platform::Localizer *loc = ComDm->locLang;
    loc->reload();
    loc->setLanguageIndex(0);
    QCOMPARE(sMsgSaved.text(), QStringLiteral("Data telah disimpan."));
    QCOMPARE(sMsgDeleted.text(), QStringLiteral("Data has been deleted."));
    // a key is a name in its exact case
    QCOMPARE(slabelCity.text(), QString());
}

void tst_LangRes::indexOutsideListSelectsEnglish()
{
    Platform::Localizer *loc = ComDm->locLang;
    loc->reload();
    loc->setLanguageIndex(0);
    QCOMPARE(sLabelSave.text(), QStringLiteral("Simpan"));
    loc->setLanguageIndex(1);
    QCOMPARE(loc->languageIndex(), -1);
    QCOMPARE(sLabelSave.text(), QStringLiteral("Save"));
}

void tst_LangRes::deadListenerIsNotCalled()
{
    deadListenerCalls = 0;
    CountingListener survivor;
    auto &repo = ResourceStringRepository::instance();
    repo.addListener(&survivor);
    {
        auto dying = std::make_unique<DyingListener>();
        repo.addListener(dying.get());
        ComDm->locLang->setLanguageIndex(0);
        QCOMPARE(deadListenerCalls, 1);
        // destroyed without removing itself
    }
    ComDm->locLang->setLanguageIndex(-1);
    QCOMPARE(deadListenerCalls, 1);
    QCOMPARE(survivor.calls, 2);
    repo.removeListener(&survivor);
}

void tst_LangRes::listenerRemovingItselfWhileTold()
{
    struct OneShot : Platform::LocalizerListener
    {
        void TranslationChanged() override
        {
            ++calls;
            ResourceStringRepository::instance().removeListener(this);
        }
        int calls = 0;
    };
    OneShot once;
    CountingListener after;
    ResourceStringRepository::instance().addListener(&once);
    ResourceStringRepository::instance().addListener(&after);
    ComDm->locLang->setLanguageIndex(0);
    ComDm->locLang->setLanguageIndex(-1);
    QCOMPARE(once.calls, 1);
    QCOMPARE(after.calls, 2);
    ResourceStringRepository::instance().removeListener(&after);
}

QTEST_GUILESS_MAIN(tst_LangRes)
#include "tst_langres.moc"
