#include "drive_files.h"

#include <QString>
#include <QStringList>
#include <stdexcept>
#include <string_view>

#include "formats/cp1251.h"

namespace zarvo::resgen {
namespace {

QByteArray crlfLines(const QStringList& lines) {
    const QByteArray utf8 = (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
    const auto bytes =
        cp1251::fromUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
    if (!bytes) throw std::invalid_argument("text outside code page 1251");
    return QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
}

}  // namespace

QByteArray winIni() {
    return crlfLines({
        QStringLiteral("[windows]"),
        QStringLiteral("load="),
        QStringLiteral("run="),
        QStringLiteral("NullPort=None"),
        QStringLiteral("device="),
        QStringLiteral("BorderWidth=3"),
        QStringLiteral("CursorBlinkRate=530"),
        QStringLiteral("DoubleClickSpeed=452"),
        QStringLiteral("Programs=com exe bat pif"),
        QStringLiteral("Documents="),
        QStringLiteral("DeviceNotSelectedTimeout=15"),
        QStringLiteral("TransmissionRetryTimeout=45"),
        QStringLiteral("KeyboardDelay=1"),
        QStringLiteral("KeyboardSpeed=31"),
        QStringLiteral("ScreenSaveActive=0"),
        QStringLiteral("ScreenSaveTimeOut=900"),
        QStringLiteral(""),
        QStringLiteral("[Desktop]"),
        QStringLiteral("Wallpaper=(None)"),
        QStringLiteral("TileWallpaper=0"),
        QStringLiteral("WallpaperStyle=0"),
        QStringLiteral("Pattern=(None)"),
        QStringLiteral(""),
        QStringLiteral("[intl]"),
        QStringLiteral("iCountry=7"),
        QStringLiteral("ICurrDigits=2"),
        QStringLiteral("iCurrency=1"),
        QStringLiteral("iDate=1"),
        QStringLiteral("iDigits=2"),
        QStringLiteral("iLZero=1"),
        QStringLiteral("iMeasure=0"),
        QStringLiteral("iNegCurr=5"),
        QStringLiteral("iTime=1"),
        QStringLiteral("iTLZero=1"),
        QStringLiteral("s1159="),
        QStringLiteral("s2359="),
        QStringLiteral("sCountry=Россия"),
        QStringLiteral("sCurrency=р."),
        QStringLiteral("sDate=."),
        QStringLiteral("sDecimal=,"),
        QStringLiteral("sLanguage=rus"),
        QStringLiteral("sList=;"),
        QStringLiteral("sLongDate=d MMMM yyyy 'г.'"),
        QStringLiteral("sShortDate=dd.MM.yy"),
        QStringLiteral("sThousand= "),
        QStringLiteral("sTime=:"),
        QStringLiteral(""),
        QStringLiteral("[fonts]"),
        QStringLiteral("Arial (TrueType)=ARIAL.TTF"),
        QStringLiteral("Courier New (TrueType)=COUR.TTF"),
        QStringLiteral("Times New Roman (TrueType)=TIMES.TTF"),
        QStringLiteral("Tahoma (TrueType)=TAHOMA.TTF"),
        QStringLiteral("Wingdings (TrueType)=WINGDING.TTF"),
        QStringLiteral("MS Sans Serif 8,10,12,14,18,24=SSERIFE.FON"),
        QStringLiteral("Small Fonts=SMALLE.FON"),
        QStringLiteral(""),
        QStringLiteral("[FontSubstitutes]"),
        QStringLiteral("Helv=MS Sans Serif"),
        QStringLiteral("Tms Rmn=MS Serif"),
        QStringLiteral("Times=Times New Roman"),
        QStringLiteral("Helvetica=Arial"),
        QStringLiteral(""),
        QStringLiteral("[extensions]"),
        QStringLiteral("txt=notepad.exe ^.txt"),
        QStringLiteral("ini=notepad.exe ^.ini"),
        QStringLiteral("bmp=C:\\WINDOWS\\pbrush.exe ^.bmp"),
        QStringLiteral("hlp=winhlp32.exe ^.hlp"),
        QStringLiteral(""),
        QStringLiteral("[Ports]"),
        QStringLiteral("LPT1:="),
        QStringLiteral("COM1:=9600,n,8,1,x"),
        QStringLiteral("FILE:="),
        QStringLiteral(""),
        QStringLiteral("[mci extensions]"),
        QStringLiteral("wav=waveaudio"),
        QStringLiteral("mid=sequencer"),
        QStringLiteral("avi=AVIVideo"),
        QStringLiteral(""),
        QStringLiteral("[Sounds]"),
        QStringLiteral("SystemDefault=ding.wav,По умолчанию"),
    });
}

QByteArray msdosSys() {
    QStringList lines = {
        QStringLiteral("[Paths]"),
        QStringLiteral("WinDir=C:\\WINDOWS"),
        QStringLiteral("WinBootDir=C:\\WINDOWS"),
        QStringLiteral("HostWinBootDrv=C"),
        QStringLiteral(""),
        QStringLiteral("[Options]"),
        QStringLiteral("BootMulti=1"),
        QStringLiteral("BootGUI=1"),
        QStringLiteral("DoubleBuffer=1"),
        QStringLiteral("AutoScan=1"),
        QStringLiteral("WinVer=4.10.2222"),
        QStringLiteral("Logo=1"),
        QStringLiteral(";"),
        QStringLiteral(";The padding below keeps this file over 1024 bytes, which some"),
        QStringLiteral(";programs rely on. Do not remove it."),
    };
    for (char tag = 'a'; tag <= 's'; ++tag)
        lines << QStringLiteral(";") + QString(69, QLatin1Char('x')) + QLatin1Char(tag);
    return crlfLines(lines);
}

}  // namespace zarvo::resgen
