// Failed reads and writes reach the caller with their reason. Write failures come from a real
// "file too large" error: the file size limit of this process is lowered for the test (with
// SIGXFSZ ignored, so the system answers EFBIG instead of ending the process).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

#include "EDFTestFiles.h"
#include "edf/uDataFile.h"
#include "edf/uEDF.h"
#include "edf/udDisk.h"

namespace vantrel {
namespace {

using vantrel_test::ScratchDir;

// Lowers the soft file size limit for its lifetime and ignores SIGXFSZ; both are restored.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
    sighandler_t previousHandler_ = SIG_DFL;
};

constexpr int kHeaderBytes = 512;  // one signal
constexpr int kRecordBytes = 8;    // four samples

// A new file of one signal with four samples per record, open for records.
void CreateOpenFile(TEDFFile& file, const std::string& path) {
    file.SetFileName(path);
    file.CreateNew(1, true);
    TCustomEDFFileInfo& info = file.FileInfo();
    info.SetPatient("X X X X");
    info.SetRecording("Startdate X X X X");
    info.SetStartDateTime(37317.0);
    info.SetRecordDuration(1);
    TCustomEDFSignalInfo& s = file.Signal(0);
    s.SetLabel("EEG");
    s.SetPhysicalDimension("uV");
    s.SetPhysicalMinimum(-100);
    s.SetPhysicalMaximum(100);
    s.SetDigitalMinimum(-32768);
    s.SetDigitalMaximum(32767);
    s.SetSamplesPerRecord(4);
    file.WriteHeader();
    ASSERT_TRUE(file.IsOpen());
}

// Runs f and returns the message of the E it raises ("" and a failure when it raises none).
template <typename E>
std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    ADD_FAILURE() << "no exception";
    return "";
}

TEST(EDFFileErrors, WriteFailuresReachTheCaller) {
    const std::string tooLarge = std::strerror(EFBIG);
    struct Case {
        const char* name;
        rlim_t limit;  // file size limit after two records were written
        std::function<std::string(TEDFFile&)> failing;
        std::string expected;
        bool openAfterwards;  // a failed record write leaves the file open; a failed Close not
    };
    const Case cases[] = {
        {"record beyond the limit", kHeaderBytes + 2 * kRecordBytes,
         [](TEDFFile& f) { return MessageOf<EDataFileWriteData>([&] { f.WriteRecord(2); }); },
         "Error writing file data: " + tooLarge, true},
        {"header written back on Close", 100,
         [](TEDFFile& f) { return MessageOf<EWriteError>([&] { f.Close(); }); },
         "Cannot write file", false},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        TEDFFile file;
        CreateOpenFile(file, dir.File("limit.edf"));
        file.WriteRecord(0);
        file.WriteRecord(1);
        FileSizeLimit limit(c.limit);
        const std::string message = c.failing(file);
        EXPECT_EQ(message.substr(0, c.expected.size()), c.expected) << c.name << ": " << message;
        EXPECT_NE(message.find(tooLarge), std::string::npos) << c.name << ": " << message;
        EXPECT_EQ(file.Active(), c.openAfterwards) << c.name;
    }
}

TEST(EDFFileErrors, ShortReadNamesTheRecord) {
    ScratchDir dir;
    const std::string path = dir.File("short.edf");
    {
        TEDFFile file;
        CreateOpenFile(file, path);
        for (int r = 0; r < 3; ++r)
            file.WriteRecord(r);
        file.Close();
    }
    TEDFFile file;
    file.SetFileName(path);
    file.SetReadOnly(true);
    file.SetActive(true);
    ASSERT_EQ(file.NumberOfRecords(), 3);
    // The file loses half of its last record while open.
    ASSERT_EQ(truncate(path.c_str(), kHeaderBytes + 2 * kRecordBytes + kRecordBytes / 2), 0);
    EXPECT_EQ(MessageOf<EDataFileReadData>([&] { file.ReadRecord(2); }),
              "Error reading file data: file ends before record 2");
    file.Close();
}

}  // namespace
}  // namespace vantrel
