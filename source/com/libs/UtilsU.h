#pragma once

#include "com_global.h"

#include <QChar>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

// ---------------------------------------------------------------------------
// Quantity strings and text helpers
// ---------------------------------------------------------------------------

// The units of measure of one item. Factors count base units (a carton of
// 12 boxes of 12 pieces: ConvUnit2 = 12, ConvUnit3 = 144); factors of units
// above MaxUnit are never read.
struct TConvUnitRecord
{
    qint32 MaxUnit = 0;
    qint32 ConvUnit2 = 0;
    qint32 ConvUnit3 = 0;
    qint32 ConvUnit4 = 0;
    qint32 ConvUnit5 = 0;
};

// A quantity string shows a whole number of base units as dot-separated
// groups, the largest unit first: "00006.011.004" is 6 cartons, 11 boxes and
// 4 pieces. The functions keep no state; call them as TUtils::X or Utils.X.
class COM_EXPORT TUtils
{
public:
    // Occurrences of C in S.
    static int CharCount(const QString &S, QChar C);

    // MaxUnit groups, the first zero-padded to 5 digits and the others to 3,
    // preceded by "-" for a negative AValue. MaxUnit below 1 gives the sign
    // alone. Throws Platform::ConversionError for a zero or negative factor
    // of a unit in use or MaxUnit above 5.
    static QString FormatQtyStr(qint32 AValue, const TConvUnitRecord &AConvUnitRec);

    // The quantity in base units. A "-" anywhere makes it negative; groups
    // are read from the largest unit down; an empty group is 0, and so is a
    // blank text. Blanks around the text are ignored. Throws
    // Platform::ConversionError for a group that is not a run of decimal
    // digits, for more groups than units, for MaxUnit outside 1..5, for a
    // negative factor and for a result that does not fit 32 bits.
    static qint32 QtyStrToInt(const QString &AData, const TConvUnitRecord &AConvUnitRec);

    // "" when AValue is acceptable, otherwise the message of the first rule
    // it breaks: the form of the text first (blank, separators, sign), then
    // whatever QtyStrToInt would throw, with the same words, and last a text
    // without any digit. What it accepts, QtyStrToInt reads.
    static QString ValidateQtyStr(const QString &AValue, const TConvUnitRecord &AConvUnitRec);

    // Key filter of a quantity edit: AKey becomes QChar() (null) when the key
    // is refused. Enter passes and sends a Tab so the focus moves on.
    static void QtyStrKey(QChar &AKey, const QString &AText, bool AAllowNegative);

    // AStr split at every ADelimiter only (blanks belong to the items); a
    // trailing delimiter adds an empty item, an empty AStr gives no items,
    // and an item starting with a double quote runs to its closing quote
    // ("" inside stands for one quote).
    static QStringList SplitStr(QChar ADelimiter, const QString &AStr);

    // "a, b ,c" -> "'a','b','c'": every comma-separated item trimmed and
    // single-quoted, with single quotes inside doubled so that user text
    // cannot end the literal. Throws Platform::ConversionError, naming the
    // item, for a control character or a look-alike of the apostrophe inside
    // an item.
    static QString TextToSQLIn(const QString &AText);
};

// The access point other units call through (Utils.FormatQtyStr(...)).
COM_EXPORT extern TUtils Utils;

// ---------------------------------------------------------------------------
// Server configuration
// ---------------------------------------------------------------------------

// The back end's configuration entries ("/sys/v1/config"), read once by
// LoadConfig and then looked up by id, without regard to letter case; the
// first entry of an id wins. An id never loaded reads as the empty text.
class COM_EXPORT TConfig
{
public:
    TConfig();
    ~TConfig();
    TConfig(const TConfig &) = delete;
    TConfig &operator=(const TConfig &) = delete;

    // Blocks the calling thread for one GET. Every failure (no answer, no
    // usable "data" array, an entry without "config_id", "config_value" or
    // "data_type") is shown once in the plain error dialog, keeping the
    // entries read before it. Closes the wait dialog once at the end, so a
    // caller that wants it up shows it first. Entries are appended: a second
    // load adds copies that never win over the first ones.
    void LoadConfig();
    // What LoadConfig does with the body of the answer: appends its entries.
    // Raises Platform::Error at the first fault, keeping the entries before it.
    void ReadConfig(const QByteArray &ABody);

    // Typed by the entry's data type ("string", "integer", "float",
    // "boolean", any letter case); anything else is ValueAsString.
    QVariant Value(const QString &AConfigID) const;
    // Without leading and trailing blanks.
    QString ValueAsString(const QString &AConfigID) const;
    // The reads below never raise: what does not parse gives 0 or false.
    int ValueAsInteger(const QString &AConfigID) const;
    // With a decimal point, whatever the workstation's locale.
    double ValueAsFloat(const QString &AConfigID) const;
    // "true" / "false" in any letter case, or a number (decimal point): 0 is
    // false, any other number true.
    bool ValueAsBoolean(const QString &AConfigID) const;

    int Count() const { return int(FValues.size()); }

private:
    using Entries = QList<QPair<QString, QString>>;
    static QString lookup(const Entries &AEntries, const QString &AConfigID);

    QString FConfigID; // sent as "config_id"; empty asks for every entry
    Entries FValues; // config_id, config_value
    Entries FDataTypes; // config_id, data_type
};
