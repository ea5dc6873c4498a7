// The serial layer's texts and names, compiled once wide and once single-byte: the stored
// settings string, the settings text of a DCB, the "ports" section and the DOS names.
#include <windows.h>
#include <float.h>
#include <tchar.h>

#include <gtest/gtest.h>

#include <string>

#include "guarded_buffer.h"
#include "profile.h"
#include "serial.h"
#include "settings.h"
#include "test_env.h"

using tstring = std::basic_string<TCHAR>;

namespace {

DCB Dcb(DWORD baud, BYTE parity, BYTE bits, BYTE stop) {
    DCB d{};
    d.DCBlength = sizeof d;
    d.BaudRate = baud;
    d.Parity = parity;
    d.ByteSize = bits;
    d.StopBits = stop;
    return d;
}

tstring Text(const DCB& d) {
    TCHAR out[kSettingsTextChars];
    BuildCommDCBString(&d, out);
    return out;
}

struct Settings {
    DWORD result;
    VeskPortSettings record;
    DWORD needed;
    ~Settings() {
        if (result == 0 && record.pConfig) LocalFree(record.pConfig);
    }
};

Settings Read() {
    Settings s{};
    s.needed = 0xdeadbeef;
    FillMemory(&s.record, sizeof s.record, 0xAB);
    s.result = GetVeskPortSettings(nullptr, 0, reinterpret_cast<PBYTE>(&s.record), sizeof s.record,
                                   &s.needed);
    return s;
}

class StoredSettings : public ::testing::Test {
protected:
    void TearDown() override { vt::DeleteSection(L"Vesk Ports"); }
    void Store(const wchar_t* text) { vt::WriteSection(L"Vesk Ports", {{L"VESK", text}}); }
};

class PortsSection : public ::testing::Test {
protected:
    void TearDown() override { vt::DeleteSection(L"ports"); }
};

}  // namespace

TEST(BlockSize, IsFiftyMillisecondsOfLine) {
#if defined(__i386__)
    // The 32-bit build keeps doubles in x87 registers: at the 64-bit mantissa a program may
    // start with, a computation through floating point comes out one low. The block size must
    // not depend on how the host process set the FPU up.
    unsigned int precision = _control87(0, 0) & _MCW_PC;
    _control87(_PC_64, _MCW_PC);
#endif
    const std::pair<DWORD, DWORD> table[] = {
        {110, 0},    {300, 1},      {600, 3},      {1200, 6},     {2400, 12},
        {4800, 24},  {9600, 48},    {14400, 72},   {19200, 96},   {38400, 192},
        {56000, 280}, {57600, 288}, {115200, 576}, {128000, 640}, {256000, 1280}};
    for (auto [baud, block] : table) EXPECT_EQ(GetBaudRate(baud), block) << baud;
    EXPECT_EQ(GetBaudRate(7200), 48u) << "unlisted rates count as 9600";
    EXPECT_EQ(GetBaudRate(0), 48u);
#if defined(__i386__)
    _control87(precision, _MCW_PC);
#endif
}

TEST(SettingsText, IsBuiltFromTheDcb) {
    EXPECT_EQ(Text(Dcb(9600, NOPARITY, 8, ONESTOPBIT)), _T("9600,n,8,1"));
    EXPECT_EQ(Text(Dcb(19200, EVENPARITY, 7, TWOSTOPBITS)), _T("19200,e,7,2"));
    EXPECT_EQ(Text(Dcb(4800, ODDPARITY, 7, TWOSTOPBITS)), _T("4800,o,7,2"));
    EXPECT_EQ(Text(Dcb(256000, MARKPARITY, 5, ONE5STOPBITS)), _T("256000,m,5,1.5"));
    EXPECT_EQ(Text(Dcb(115200, SPACEPARITY, 6, ONESTOPBIT)), _T("115200,s,6,1"));
    EXPECT_EQ(Text(Dcb(7200, NOPARITY, 8, ONESTOPBIT)), _T("9600,n,8,1")) << "unlisted rate";
    EXPECT_EQ(Text(Dcb(9600, NOPARITY, 8, 7)), _T("9600,n,8,1")) << "unknown stop bits";
    EXPECT_EQ(Text(Dcb(9600, 9, 8, ONESTOPBIT)), _T("9600,n,8,1")) << "parity without a letter";

    TCHAR small[5];
    DCB d = Dcb(19200, EVENPARITY, 7, TWOSTOPBITS);
    BuildCommDCBString(&d, small, 5);
    EXPECT_EQ(tstring(small), _T("1920")) << "cut, never overrun";
}

TEST(StoredSettingsString, SplitsIntoComNameAndLineSettings) {
    TCHAR com[6];
    LPCTSTR rest = nullptr;
    EXPECT_EQ(SplitStoredSettings(_T("COM3:,19200,E,7,2"), com, &rest), 0u);
    EXPECT_EQ(tstring(com), _T("COM3"));
    EXPECT_EQ(tstring(rest), _T("19200,E,7,2"));
    EXPECT_EQ(SplitStoredSettings(_T("COM99:,9600"), com, &rest), 0u);
    EXPECT_EQ(tstring(com), _T("COM99"));
    EXPECT_EQ(SplitStoredSettings(_T("COM3:"), com, &rest), static_cast<DWORD>(ERROR_NO_DATA));
    EXPECT_EQ(SplitStoredSettings(_T("COM100:,9600,n,8,1"), com, &rest),
              static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(SplitStoredSettings(_T("COMLONGNAME,9600,n,8,1"), com, &rest),
              static_cast<DWORD>(ERROR_INVALID_NAME));
}

TEST_F(StoredSettings, MissingKeyOrEmptyValueGivesTheDefault) {
    // An empty value is what port VESK's key holds once the port is added again after its
    // deletion.
    for (const wchar_t* value : {static_cast<const wchar_t*>(nullptr), L"", L"   "}) {
        SCOPED_TRACE(value ? "value \"" + vt::Narrow(value) + "\"" : std::string("no key"));
        if (value) Store(value);
        else vt::DeleteSection(L"Vesk Ports");
        Settings s = Read();
        ASSERT_EQ(s.result, 0u);
        EXPECT_EQ(tstring(s.record.ComName), _T("COM1"));
        ASSERT_NE(s.record.pConfig, nullptr);
        EXPECT_EQ(s.needed, s.record.pConfig->dwSize);
        EXPECT_GE(s.needed, sizeof(COMMCONFIG));
        const DCB& d = s.record.pConfig->dcb;
        EXPECT_EQ(d.DCBlength, sizeof(DCB));
        EXPECT_EQ(d.BaudRate, 9600u);
        EXPECT_EQ(d.Parity, NOPARITY);
        EXPECT_EQ(d.ByteSize, 8);
        EXPECT_EQ(d.StopBits, ONESTOPBIT);
        EXPECT_EQ(Text(d), _T("9600,n,8,1"));
    }
}

TEST_F(StoredSettings, StoredStringSetsComNameAndDcb) {
    Store(L"COM3:,19200,E,7,2");
    Settings s = Read();
    ASSERT_EQ(s.result, 0u);
    EXPECT_EQ(tstring(s.record.ComName), _T("COM3"));
    const DCB& d = s.record.pConfig->dcb;
    EXPECT_EQ(d.BaudRate, 19200u);
    EXPECT_EQ(d.Parity, EVENPARITY);
    EXPECT_EQ(d.ByteSize, 7);
    EXPECT_EQ(d.StopBits, TWOSTOPBITS);
    EXPECT_EQ(Text(d), _T("19200,e,7,2"));
}

TEST_F(StoredSettings, BadRecordsAndTextsLeaveTheRecordUntouched) {
    Store(L"COM3:,19200,E,7,2");
    BYTE record[64];
    FillMemory(record, sizeof record, 0xAB);
    DWORD needed = 7;
    EXPECT_EQ(GetVeskPortSettings(nullptr, 0, record, kVeskPortSettingsSize - 1, &needed),
              static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(GetVeskPortSettings(nullptr, 0, record, 0, &needed),
              static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(GetVeskPortSettings(nullptr, 0, nullptr, 64, &needed),
              static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    for (BYTE b : record) ASSERT_EQ(b, 0xAB);
    EXPECT_EQ(needed, 7u);

    Store(L"COM3:");
    Settings s = Read();
    EXPECT_EQ(s.result, static_cast<DWORD>(ERROR_NO_DATA));
    EXPECT_EQ(s.needed, 0xdeadbeefu);
    EXPECT_EQ(reinterpret_cast<BYTE*>(&s.record)[0], 0xAB);

    Store(L"COM100:,9600,n,8,1");
    Settings t = Read();
    EXPECT_EQ(t.result, static_cast<DWORD>(ERROR_INVALID_NAME)) << "a COM name that does not fit";
    EXPECT_EQ(reinterpret_cast<BYTE*>(&t.record)[0], 0xAB);
}

TEST_F(PortsSection, DeviceEntryChangesTheDcbOnlyWhenPresent) {
    vt::DeleteSection(L"ports");
    DCB d = Dcb(9600, NOPARITY, 8, ONESTOPBIT);
    EXPECT_FALSE(GetIniCommValues(_T("COM1"), &d));
    EXPECT_EQ(d.BaudRate, 9600u);

    vt::WriteSection(L"ports", {{L"COM1:", L"4800,n,8,1"}, {L"COM1", L"19200,e,7,2"}});
    EXPECT_TRUE(GetIniCommValues(_T("COM1"), &d));
    EXPECT_EQ(d.BaudRate, 19200u);
    EXPECT_EQ(d.Parity, EVENPARITY);
    EXPECT_EQ(d.ByteSize, 7);
    EXPECT_EQ(d.StopBits, TWOSTOPBITS);

    // A value longer than the first buffers of 20 and 40 characters.
    vt::WriteSection(L"ports", {{L"COM2", L"baud=2400 parity=o data=7 stop=1              "}});
    DCB e = Dcb(9600, NOPARITY, 8, ONESTOPBIT);
    EXPECT_TRUE(GetIniCommValues(_T("COM2"), &e));
    EXPECT_EQ(e.BaudRate, 2400u);
    EXPECT_EQ(e.Parity, ODDPARITY);
}

TEST_F(PortsSection, ComPortListKeepsComKeysInOrder) {
    vt::WriteSection(L"ports", {{L"COM1:", L"9600,n,8,1"}, {L"com2:", L""}, {L"LPT1:", L""},
                                {L"FILE:", L""}, {L"CO", L""}});
    EXPECT_EQ(GetComPorts(nullptr, 0), 12u);
    TCHAR out[32];
    FillMemory(out, sizeof out, 0x55);
    EXPECT_EQ(GetComPorts(out, 32), 12u);
    EXPECT_EQ(tstring(out, 12), tstring(_T("COM1:\0com2:\0"), 12));
    EXPECT_EQ(reinterpret_cast<BYTE*>(out)[12 * sizeof(TCHAR)], 0x55) << "no extra terminator";

    // A buffer too short for the second name takes only what fits.
    vt::GuardedBuffer small(8 * sizeof(TCHAR));
    EXPECT_EQ(GetComPorts(reinterpret_cast<LPTSTR>(small.data()), 8), 12u);
    EXPECT_EQ(tstring(reinterpret_cast<LPTSTR>(small.data())), _T("COM1:"));

    vt::WriteSection(L"ports", {{L"LPT1:", L""}});
    EXPECT_EQ(GetComPorts(out, 32), 0u);
    vt::DeleteSection(L"ports");
    EXPECT_EQ(GetComPorts(out, 32), 0u);
}

TEST_F(PortsSection, TransceiveFormAnswersTheSizeQuestionAndChecksTheOutput) {
    vt::WriteSection(L"ports", {{L"COM1:", L""}, {L"COM2:", L""}});
    BYTE sizeOnly[4] = {1, 0, 0, 0};
    BYTE fill[4] = {0, 0, 0, 0};
    vt::GuardedBuffer out(12 * sizeof(TCHAR));
    DWORD needed = 0;
    EXPECT_EQ(GetVeskPortComPorts(sizeOnly, 4, out.data(), 0, &needed), 0u);
    EXPECT_EQ(needed, 12u);
    EXPECT_TRUE(out.Untouched(0)) << "the size question writes nothing";

    needed = 0;
    EXPECT_EQ(GetVeskPortComPorts(fill, 4, out.data(), 12 * sizeof(TCHAR) - 1, &needed),
              static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, 12u);
    EXPECT_TRUE(out.Untouched(0));

    EXPECT_EQ(GetVeskPortComPorts(fill, 4, out.data(), 12 * sizeof(TCHAR), &needed), 0u);
    EXPECT_EQ(tstring(reinterpret_cast<LPTSTR>(out.data()), 12), tstring(_T("COM1:\0COM2:\0"), 12));
}

TEST(DosNames, TrailingColonMakesNoDifference) {
    TCHAR a[kDosNameChars], b[kDosNameChars];
    EXPECT_EQ(BuildNonspooledName(_T("COM1"), a, kDosNameChars), 0u);
    EXPECT_EQ(BuildNonspooledName(_T("COM1:"), b, kDosNameChars), 0u);
    EXPECT_EQ(tstring(a), _T("NONSPOOLED_COM1"));
    EXPECT_EQ(tstring(b), tstring(a));
    EXPECT_EQ(BuildNonspooledPath(_T("COM12:"), a, kDosNameChars), 0u);
    EXPECT_EQ(tstring(a), _T("\\\\.\\NONSPOOLED_COM12"));
    EXPECT_EQ(BuildSpoolerPipeName(_T("COM1:"), a, kDosNameChars), 0u);
    EXPECT_EQ(tstring(a), _T("\\Device\\NamedPipe\\Spooler\\COM1"));
    EXPECT_EQ(BuildNonspooledName(_T("COM1"), a, 15), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(tstring(a), _T(""));
    EXPECT_EQ(BuildNonspooledName(_T("COM1"), a, 16), 0u);
}

TEST(DosNames, TargetIsTheFirstPastTheSpoolersPipe) {
    const TCHAR pipe[] = _T("\\Device\\NamedPipe\\Spooler\\COM1");
    const TCHAR list[] = _T("\\Device\\NamedPipe\\Spooler\\COM1\0\\Device\\Serial0\0\0");
    DWORD chars = sizeof list / sizeof(TCHAR);
    LPCTSTR t = ChooseDosTarget(list, chars, pipe);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(tstring(t), _T("\\Device\\Serial0"));

    const TCHAR upper[] = _T("\\DEVICE\\NAMEDPIPE\\SPOOLER\\COM1\0\\Device\\Serial3\0\0");
    t = ChooseDosTarget(upper, sizeof upper / sizeof(TCHAR), pipe);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(tstring(t), _T("\\Device\\Serial3")) << "compared without regard to case";

    const TCHAR direct[] = _T("\\Device\\Serial0\0\0");
    t = ChooseDosTarget(direct, sizeof direct / sizeof(TCHAR), pipe);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(tstring(t), _T("\\Device\\Serial0"));

    const TCHAR onlyPipe[] = _T("\\Device\\NamedPipe\\Spooler\\COM1\0\0");
    EXPECT_EQ(ChooseDosTarget(onlyPipe, sizeof onlyPipe / sizeof(TCHAR), pipe), nullptr);
    const TCHAR empty[] = _T("\0");
    EXPECT_EQ(ChooseDosTarget(empty, 1, pipe), nullptr);

    // A list the platform handed back without its terminators is not read past its size.
    vt::GuardedBuffer raw(6 * sizeof(TCHAR));
    auto* unterminated = reinterpret_cast<TCHAR*>(raw.data());
    for (int i = 0; i < 6; ++i) unterminated[i] = _T('x');
    EXPECT_EQ(ChooseDosTarget(unterminated, 6, pipe), nullptr);
}
