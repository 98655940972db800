#include "DebugCapture.h"
#include "psError.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Raised {
    std::string className;
    psErrorWord code = 0;
    std::string file;
    int32_t line = 0;
};

// Raises the word and reports which class arrived (most derived first).
Raised raise(psErrorWord word, const char *file = "Pscamera", long line = 100)
{
    Raised r;
    auto fill = [&](const char *name, const psCException &e) {
        r.className = name;
        r.code = e.code;
        r.file = e.file;
        r.line = e.line;
    };
    try {
        psRaiseIfError(word, file, line);
        r.className = "none";
    } catch (const psCMemException &e) {
        fill("psCMemException", e);
    } catch (const psCMiscException &e) {
        fill("psCMiscException", e);
    } catch (const psCFileException &e) {
        fill("psCFileException", e);
    } catch (const psCDirException &e) {
        fill("psCDirException", e);
    } catch (const psCPropException &e) {
        fill("psCPropException", e);
    } catch (const psCParamException &e) {
        fill("psCParamException", e);
    } catch (const psCDeviceException &e) {
        fill("psCDeviceException", e);
    } catch (const psCStreamException &e) {
        fill("psCStreamException", e);
    } catch (const psCCommException &e) {
        fill("psCCommException", e);
    } catch (const psCGenericException &e) {
        fill("psCGenericException", e);
    } catch (const psCSpecificException &e) {
        fill("psCSpecificException", e);
    } catch (const psCException &e) {
        fill("psCException", e);
    }
    return r;
}

struct ClassCase {
    psErrorWord word;
    const char *className;
};

void PrintTo(const ClassCase &c, std::ostream *os)
{
    *os << std::hex << c.word;
}

class psRaiseIfErrorClass : public testing::TestWithParam<ClassCase> {};

TEST_P(psRaiseIfErrorClass, PicksTheClassOfTheWordsBlock)
{
    const ClassCase c = GetParam();
    const Raised r = raise(c.word, "PSDIR", 77);
    EXPECT_EQ(r.className, c.className);
    EXPECT_EQ(r.code, c.word);
    EXPECT_EQ(r.file, "PSDIR");
    EXPECT_EQ(r.line, 77);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, psRaiseIfErrorClass,
    testing::Values(ClassCase{0x03000001, "psCMiscException"}, ClassCase{0x03000003, "psCMemException"},
                    ClassCase{0x03000004, "psCMemException"}, ClassCase{0x03000005, "psCMiscException"},
                    ClassCase{0x0300001F, "psCMiscException"}, ClassCase{0x03000020, "psCFileException"},
                    ClassCase{0x0300003F, "psCFileException"}, ClassCase{0x03000040, "psCDirException"},
                    ClassCase{0x0300004F, "psCDirException"}, ClassCase{0x03000050, "psCPropException"},
                    ClassCase{0x03000052, "psCPropException"}, ClassCase{0x0300005F, "psCPropException"},
                    ClassCase{0x03000060, "psCParamException"}, ClassCase{0x0300007F, "psCParamException"},
                    ClassCase{0x03000080, "psCDeviceException"}, ClassCase{0x0300009F, "psCDeviceException"},
                    ClassCase{0x030000A0, "psCStreamException"}, ClassCase{0x030000BF, "psCStreamException"},
                    ClassCase{0x030000C0, "psCCommException"}, ClassCase{0x030000E5, "psCCommException"},
                    // The specific flag wins over every code, even a memory code.
                    ClassCase{0x80000003, "psCSpecificException"}, ClassCase{0x830000A8, "psCSpecificException"},
                    // Bits 16 to 30 never choose the class.
                    ClassCase{0x7FFF0081, "psCDeviceException"}, ClassCase{0x0000008C, "psCDeviceException"}));

TEST(psRaiseIfError, ZeroRaisesNothingAndTracesNothing)
{
    DebugCapture capture;
    EXPECT_EQ(raise(0).className, "none");
    EXPECT_EQ(capture.text(), "");
}

TEST(psRaiseIfError, WordsOutsideEveryBlockDropTheCallersPositionAndTraceNothing)
{
    for (psErrorWord word : {psErrorWord{0x030000E6}, psErrorWord{0x03000000}, psErrorWord{0x0300FFFF}}) {
        DebugCapture capture;
        const Raised r = raise(word, "Pscamera", 2104);
        EXPECT_EQ(r.className, "psCException") << std::hex << word;
        EXPECT_EQ(r.code, word);
        EXPECT_EQ(r.file, "");
        EXPECT_EQ(r.line, 0);
        EXPECT_EQ(capture.text(), "") << std::hex << word;
    }
}

TEST(psRaiseIfError, WithoutPositionTheExceptionHasAnEmptyFileAndNoTrace)
{
    DebugCapture capture;
    const Raised r = raise(0x03000063, nullptr, 0);
    EXPECT_EQ(r.className, "psCParamException");
    EXPECT_EQ(r.file, "");
    EXPECT_EQ(r.line, 0);
    EXPECT_EQ(capture.text(), "");
}

struct TraceCase {
    psErrorWord word;
    const char *file;
    long line;
    const char *expected;
};

void PrintTo(const TraceCase &c, std::ostream *os)
{
    *os << std::hex << c.word;
}

class psErrorTraceLine : public testing::TestWithParam<TraceCase> {};

TEST_P(psErrorTraceLine, IsWrittenExactlyOncePerException)
{
    const TraceCase c = GetParam();
    DebugCapture capture;
    try {
        psRaiseIfError(c.word, c.file, c.line);
        FAIL() << "nothing raised";
    } catch (const psCException &) {
    }
    EXPECT_EQ(capture.text(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Words, psErrorTraceLine,
    testing::Values(
        TraceCase{0x03000063, "Pscamera", 2104, "\npsError [hlsdk generic: INVALID_INDEX]  Pscamera line 2104\n"},
        // Generic names are not looked up for specific errors; component 0 has no name.
        TraceCase{0x80000003, "psRels", 12, "\npsError [component 0 specific: error 0x0003]  psRels line 12\n"},
        TraceCase{0x83000003, "psRels", 12, "\npsError [hlsdk specific: error 0x0003]  psRels line 12\n"},
        // An unknown component gives no generic name either.
        TraceCase{0x0A000063, "PSDIR", 5, "\npsError [component 10 generic: error 0x0063]  PSDIR line 5\n"},
        // Inside the properties block but without a name.
        TraceCase{0x03000052, "PSPROPS", 9, "\npsError [hlsdk generic: error 0x0052]  PSPROPS line 9\n"},
        TraceCase{0x0900000B, "Pscamera", 1, "\npsError [setup generic: SELECTION_UNAVAILABLE]  Pscamera line 1\n"},
        TraceCase{0x020000C1, "Pscstrms", 40, "\npsError [llsdk generic: COMM_DISCONNECTED]  Pscstrms line 40\n"},
        TraceCase{0x080000BE, "x", -3, "\npsError [collect generic: error 0x00be]  x line -3\n"}));

TEST(psErrorTraceLine, SpecificWordThrowsSpecificExceptionNotMemException)
{
    DebugCapture capture;
    const Raised r = raise(0x80000003, "Pscamera", 2104);
    EXPECT_EQ(r.className, "psCSpecificException");
    EXPECT_EQ(capture.text(), "\npsError [component 0 specific: error 0x0003]  Pscamera line 2104\n");
}

TEST(psErrorTraceLine, DirectlyBuiltExceptionTracesWithTheSameLine)
{
    DebugCapture capture;
    const psCParamException e(psHLSDK_INVALID_INDEX, "Pscamera", 2104);
    EXPECT_EQ(capture.text(), "\npsError [hlsdk generic: INVALID_INDEX]  Pscamera line 2104\n");
    EXPECT_EQ(e.code, 0x03000063u);
}

TEST(psErrorTraceLine, NeedsBothFileAndLine)
{
    DebugCapture capture;
    psCException withoutLine(psHLSDK_INVALID_INDEX, "Pscamera", 0);
    psCException withoutFile(psHLSDK_INVALID_INDEX, nullptr, 2104);
    EXPECT_EQ(capture.text(), "");
    EXPECT_STREQ(withoutFile.file, "");
    EXPECT_EQ(withoutFile.line, 2104);
}

TEST(psErrorTraceLine, SwitchOffSilencesTraceAndOnRestoresIt)
{
    DebugCapture capture;
    psSetErrorTrace(0);
    psCException silent(psHLSDK_INVALID_INDEX, "Pscamera", 2104);
    EXPECT_EQ(capture.text(), "");
    psSetErrorTrace(1);
    psCException traced(psHLSDK_INVALID_INDEX, "Pscamera", 2104);
    EXPECT_EQ(capture.text(), "\npsError [hlsdk generic: INVALID_INDEX]  Pscamera line 2104\n");
}

TEST(psRaiseContainerError, AlwaysRaisesInvalidIndexWithTheContainersPosition)
{
    for (uint32_t status : {1u, 8u, 0xFFFFFFFFu}) {
        DebugCapture capture;
        try {
            psRaiseContainerError(status, "psarray", 321);
            FAIL();
        } catch (const psCParamException &e) {
            EXPECT_EQ(e.code, psHLSDK_INVALID_INDEX);
            EXPECT_STREQ(e.file, "psarray");
            EXPECT_EQ(e.line, 321);
        }
        EXPECT_EQ(capture.text(), "\npsError [hlsdk generic: INVALID_INDEX]  psarray line 321\n");
    }
}

TEST(psErrorNames, ComponentLooksOnlyAtBits24To30)
{
    EXPECT_STREQ(psComponentName(0x01000000), "client");
    EXPECT_STREQ(psComponentName(0x83FF1234), "hlsdk");
    EXPECT_STREQ(psComponentName(0x09000000), "setup");
    EXPECT_EQ(psComponentName(0x00000063), nullptr);
    EXPECT_EQ(psComponentName(0x0A000000), nullptr);
    EXPECT_EQ(psComponentName(0x7F000000), nullptr);
}

TEST(psErrorNames, GenericNamesCoverEachBlockAndLeaveGapsUnnamed)
{
    EXPECT_STREQ(psGenericErrorName(0x01), "UNIMPLEMENTED");
    EXPECT_STREQ(psGenericErrorName(0x0B), "SELECTION_UNAVAILABLE");
    EXPECT_STREQ(psGenericErrorName(0x2D), "FILE_DATA_CORRUPT");
    EXPECT_STREQ(psGenericErrorName(0x44), "DIR_NOT_EMPTY");
    EXPECT_STREQ(psGenericErrorName(0x53), "PROPERTIES_NOT_LOADED");
    EXPECT_STREQ(psGenericErrorName(0x66), "INVALID_SORT_FN");
    EXPECT_STREQ(psGenericErrorName(0x8C), "DEVICE_STAY_AWAKE");
    EXPECT_STREQ(psGenericErrorName(0xAC), "STREAM_END_OF_STREAM");
    EXPECT_STREQ(psGenericErrorName(0xC3), "COMM_BUFFER_FULL");
    EXPECT_STREQ(psGenericErrorName(0x83000081), "DEVICE_BUSY");
    for (uint32_t unnamed : {0x00u, 0x0Cu, 0x2Eu, 0x45u, 0x52u, 0x67u, 0x8Du, 0xAAu, 0xABu, 0xC4u, 0xE5u})
        EXPECT_EQ(psGenericErrorName(unnamed), nullptr) << std::hex << unnamed;
}

TEST(psTrace, CutsTextThatDoesNotFitIn256Bytes)
{
    DebugCapture capture;
    const std::string longText(400, 'x');
    psTrace("%s!", longText.c_str());
    EXPECT_EQ(capture.text(), std::string(255, 'x'));
}

} // namespace
