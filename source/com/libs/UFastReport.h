#pragma once

#include "com_global.h"
#include "Report.h"

#include <QDateTime>
#include <QImage>
#include <QString>
#include <cstdint>

// Report helpers for the module screens: load a layout from reports/ and put
// values into its named objects before the report is shown or printed. The
// setters do nothing when the layout has no object of the name.

enum TUserType : std::uint8_t { utCurrent, utVariabel };
enum TLogoType : std::uint8_t { ltColor, ltBlackWhite };

// What layouts print in their headers and signature blocks; the module
// screens fill it.
struct COM_EXPORT THeaderData
{
    TUserType UserType = utCurrent;
    QString UserName;
    QString UserFullName;
    QString Terbilang; // an amount written out in words
    QString SecCode;
    QString MetodeBayar; // payment method
    TLogoType LogoType = ltColor;
    bool IsCopy = false;
    QString TglTransFormat; // format of the transaction date
    QDateTime TglTrans; // transaction date
    QString Periode;
    QString NamaPegawai1; // first signatory: name, position, employee number
    QString Jabatan1;
    QString NIP1;
    QString NamaPegawai2;
    QString Jabatan2;
    QString NIP2;
    QString NamaPegawai3;
    QString Jabatan3;
    QString NIP3;
};

// Loads reports/AFileName from the program's folder into ARep. A missing or
// faulty file is reported in an error box and gives false, with ARep left
// empty.
COM_EXPORT bool LoadReport(Platform::Report &ARep, const QString &AFileName);
// The memo's text, printed as it is: brackets in a value are not expanded
// as variables, which only the layout's own texts are.
COM_EXPORT void SetMemoText(Platform::Report &ARep, const QString &AName, const QString &AValue);
// Any object's visibility; a hidden band takes no room.
COM_EXPORT void SetVisible(Platform::Report &ARep, const QString &AName, bool AValue);
// Any object's height in millimetres (the layout's unit); below 0 counts as 0.
COM_EXPORT void SetHeight(Platform::Report &ARep, const QString &AName, float AValue);
// The picture object's picture becomes a copy of AValue.
COM_EXPORT void SetPicture(Platform::Report &ARep, const QString &AName, const QImage &AValue);
// Only when the file exists: the picture object's picture is read from it.
// A file that is not a picture is reported in an error box and leaves the
// picture as it was.
COM_EXPORT void LoadPicture(Platform::Report &ARep, const QString &AName, const QString &AFileName);
