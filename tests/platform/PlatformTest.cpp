// What users of the platform layer rely on:
// - numbers are read and shown with a point whatever the locale; NaN, infinities and overflow are refused;
//   formatted texts of any length come out whole;
// - lines come without CR LF, the same from memory and from a file read in chunks; a line that with its
//   end does not fit the limit is too long;
// - file-name endings match ignoring the case of A .. Z only;
// - prompts record what they asked; the console prompt never waits and answers no unless told yes;
// - outputs follow links, write into devices and FIFOs, refuse what no write could make, name the first refused;
// - a job larger than the least of MemAvailable, the control group's headroom (v2, else v1) and the address-space
//   limit is refused with "needs X GiB, Y GiB available"; nothing known, nothing refused;
// - a seed gives the classic LCG's draws 0 .. 32767 on every platform, and discard(n) skips exactly n draws;
// - settings keep what they do not know, rewrite in place, append to the end of their section, refuse
//   out-of-range or malformed numbers and leave no temporary file behind.

#include "platform/ByteStream.h"
#include "platform/ConsolePrompt.h"
#include "platform/DecimalText.h"
#include "platform/Diagnostics.h"
#include "platform/FatalExit.h"
#include "platform/InputFile.h"
#include "platform/NameSuffix.h"
#include "platform/MemoryBudget.h"
#include "platform/OutputCheck.h"
#include "platform/OutputFile.h"
#include "platform/RandomGenerator.h"
#include "platform/RecordingPrompt.h"
#include "platform/TemporaryFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace velmora;
using velmora::testing::fileText;
using velmora::testing::writeFile;

static auto entries(const std::string& folder) { return std::distance(std::filesystem::directory_iterator(folder), {}); }

// A German desktop sets the comma; typed numbers and shown texts still use the point.
TEST(DecimalText, NumbersAreReadAndShownWithAPointUnderADecimalCommaLocale) {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    for (const auto& [text, value] :
         {std::pair{"0.5", 0.5f}, {"  -2.5\t", -2.5f}, {"+1e2", 100.0f}, {".5", 0.5f}, {"3.4e38", 3.4e38f}})
        EXPECT_EQ(parseDecimal(text), value) << text;
    for (const char* bad : {"", "  ", "abc", "3x", "0,5", "--1", "+-1", "nan", "-inf", "infinity", "0x1p3",
                            "1e39", "-1e39", "1e999"})
        EXPECT_FALSE(parseDecimal(bad)) << '"' << bad << '"';
    EXPECT_EQ(std::make_pair(parseDecimalDouble("0.1"), parseDecimalDouble("1e39")),
              std::make_pair(std::optional(0.1), std::optional(1e39)));  // neither is a float
    EXPECT_FALSE(parseDecimalDouble("1e309"));
    const std::string shown = generalText(30.0f) + " " + generalText(0.5f) + " " + generalText(1.0f / 3.0f) + " " +
                              formatText("maxx:%f minx:%g", 4.0, 0.5);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(shown, "30 0.5 0.333333 maxx:4.000000 minx:0.5");  // six significant digits
}

// A text that does not fit the first buffer is formatted again, whole.
TEST(Diagnostics, LongTextsComeOutWhole) {
    for (std::size_t length : {254u, 255u, 300u})  // 255 characters fit, 256 do not
        EXPECT_EQ(formatText("%s.", std::string(length, 'x').c_str()), std::string(length, 'x') + ".") << length;
}

// Only the letters A .. Z fold: their neighbours '@' '[' and '`' '{' stay apart.
TEST(NameSuffix, EndingsMatchIgnoringTheCaseOfAsciiLettersOnly) {
    for (const auto& [name, suffix] : {std::pair{"MODEL.AZ", ".az"}, {"m.az", ".AZ"}, {".az", ".Az"}})
        EXPECT_TRUE(hasSuffixIgnoringCase(name, suffix)) << name;
    for (const auto& [name, suffix] : {std::pair{"z", ".z"}, {"x.@", ".`"}, {"x.[", ".{"}, {"x.ax", ".az"}})
        EXPECT_FALSE(hasSuffixIgnoringCase(name, suffix)) << name;
}

static int statusOf(int status) {
    try {
        fatalExit(status);
    } catch (int thrown) {
        return thrown;
    }
    return -1;
}

TEST(FatalExit, HandlersInterceptNestAndRestore) {
    ScopedFatalExitHandler outer([](int status) { throw status + 100; });
    {
        ScopedFatalExitHandler inner([](int status) { throw status; });
        EXPECT_EQ(statusOf(7), 7);
    }
    EXPECT_EQ(statusOf(1), 101);
}

TEST(FatalExitDeathTest, WithoutAHandlerTheProcessEndsWithTheStatus) {
    // Output still in a buffer comes out first.
    const auto buffered = [] {
        static char buffer[256];
        std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer), std::fputs("pending output", stderr);
        fatalExit(3);
    };
    EXPECT_EXIT(buffered(), ::testing::ExitedWithCode(3), "pending output");
}

TEST(RecordingPrompt, RecordsInOrderAndAnswersFromTheScript) {
    RecordingPrompt prompt("velmora");
    prompt.queueAnswer(PromptAnswer::Cancel);
    EXPECT_EQ(prompt.show("first", std::string("Error"), PromptIcon::Error, PromptButtons::RetryCancel),
              PromptAnswer::Cancel);
    EXPECT_EQ(prompt.show("second", std::nullopt, PromptIcon::Question, PromptButtons::RetryCancel),
              PromptAnswer::Retry);
    EXPECT_EQ(prompt.show("third", std::nullopt, PromptIcon::None, PromptButtons::OkCancel), PromptAnswer::Ok);
    EXPECT_FALSE(prompt.messages().at(0).frameworkBox);
    EXPECT_EQ(prompt.messages().at(0).icon, PromptIcon::Error);
    EXPECT_TRUE(prompt.messages().at(1).frameworkBox);  // the framework's box carries the title
    prompt.queueFile(std::string("/tmp/out.CGH"));
    FileDialogRequest save;
    save.title = "Export Object";
    EXPECT_EQ(prompt.chooseFile(save), std::optional<std::string>("/tmp/out.CGH"));
    EXPECT_EQ(prompt.chooseFile(save), std::nullopt);  // unscripted: cancelled
    FormRequest form{0, "ViewPointSet", {{1001, "Postion_z:", "30"}, {1002, "Postion_x:", "0"}}};
    prompt.queueForm([](FormRequest& f) { return f.field(1001)->text = "50", true; });
    prompt.queueForm([](FormRequest& f) { return f.field(1002)->text = "9", false; });
    ASSERT_TRUE(prompt.runForm(form));
    EXPECT_FALSE(prompt.runForm(form));  // cancelled: nothing is taken over
    EXPECT_EQ(form.field(1001)->text + form.field(1002)->text, "500");
    EXPECT_EQ(prompt.forms().at(1).field(1001)->text, "50");  // recorded as shown
    std::string transcript;
    for (const std::string& line : prompt.transcript()) transcript += line + "\n";
    velmora::testing::expectData(transcript, "platform.txt", "recording prompt transcript");
}

TEST(ConsolePrompt, WritesCaptionAndTextAndNeverWaits) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ConsolePrompt prompt("velmora-export", out);
    EXPECT_EQ(prompt.show("Failed to open a.3ds\n", std::string("Error"), PromptIcon::Error), PromptAnswer::Ok);
    EXPECT_EQ(prompt.show("Failed to load!", std::nullopt, PromptIcon::Question, PromptButtons::RetryCancel),
              PromptAnswer::Cancel);
    prompt.setAffirmative(true);
    EXPECT_EQ(prompt.show("again?", std::nullopt, PromptIcon::Question, PromptButtons::RetryCancel),
              PromptAnswer::Retry);
    EXPECT_EQ(prompt.chooseFile(FileDialogRequest{}), std::nullopt);
    std::rewind(out);
    char buffer[512] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::fclose(out);
    velmora::testing::expectData(std::string(buffer, n), "platform.txt", "console prompt output");
}

// The process's open descriptors, by number.
std::set<std::string> openDescriptors() {
    std::set<std::string> open;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        open.insert(entry.path().filename().string());
    return open;
}

// `parts` written to `path` while standard input is closed, so that the output gets descriptor 0.
Result<void> writtenWithStandardInputClosed(const std::string& path, std::initializer_list<std::string> parts) {
    const int input = ::dup(0);
    ::close(0);
    auto file = OutputFile::create(path);
    if (file) for (const std::string& part : parts) file->append(part);
    auto committed = file ? file->commit() : Result<void>::failure(file.error());
    ::dup2(input, 0), ::close(input);
    return committed;
}

TEST(OutputFileTest, LinksAreFollowedAndWriteProtectedFilesRefused) {
    velmora::testing::TempDir dir;
    const auto descriptors = openDescriptors();  // what the writes leave open, or close, that they did not open
    std::filesystem::create_directory(dir.file("real"));
    std::filesystem::create_symlink("real/old", dir.file("link"));
    std::filesystem::create_symlink("real/new", dir.file("dangling"));
    ASSERT_TRUE(writeFile(dir.file("real/old"), std::string("old")));
    for (const char* name : {"link", "dangling"}) {
        auto file = OutputFile::create(dir.file(name));
        ASSERT_TRUE(file) << file.error();
        file->append(name);
        const auto committed = file->commit();
        ASSERT_TRUE(committed && std::filesystem::is_symlink(dir.file(name))) << committed.error();
    }
    EXPECT_EQ(fileText(dir.file("real/old")) + fileText(dir.file("real/new")), "linkdangling");
    std::filesystem::permissions(dir.file("real/old"), std::filesystem::perms::owner_read);
    EXPECT_FALSE(OutputFile::create(dir.file("link")));  // no write bit at all: refused even for root
    EXPECT_EQ(std::pair(fileText(dir.file("real/old")), entries(dir.file("real"))), std::pair(std::string("link"), 2L));
    EXPECT_EQ(openDescriptors(), descriptors);
    // Run with standard input closed, the file gets descriptor 0 and is still written, both what is
    // buffered and a block larger than the buffer (1 MiB), which goes straight through.
    const std::string block((1u << 21) + 3, 'b');
    const auto committed = writtenWithStandardInputClosed(dir.file("zero"), {"kept", block});
    EXPECT_TRUE(committed) << committed.error();
    EXPECT_TRUE(fileText(dir.file("zero")) == "kept" + block);
}

// Every length comes out whole, around the 1 MiB buffer's edges, appended in pieces or at once.
TEST(OutputFileTest, EveryLengthIsWrittenWholeInPiecesOrAtOnce) {
    velmora::testing::TempDir dir;
    const std::size_t mib = 1u << 20;
    for (const std::size_t length : {std::size_t{0}, std::size_t{1}, mib - 1, mib, mib + 1, 3 * mib + 7}) {
        std::string bytes(length, '\0');
        for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(i % 251);
        for (const std::size_t piece : {std::size_t{65537}, length}) {
            auto file = OutputFile::create(dir.file("out"));
            ASSERT_TRUE(file) << file.error();
            for (std::size_t at = 0; at < length; at += piece) file->append(std::string_view(bytes).substr(at, piece));
            ASSERT_TRUE(file->finish() && file->finish() && file->commit());  // finishing again changes nothing
            const auto closed = file->finish();
            EXPECT_TRUE(!closed && closed.error() == "file already closed");
            EXPECT_TRUE(fileText(dir.file("out")) == bytes) << length << " bytes in pieces of " << piece;
        }
    }
}

// A file written anew through a temporary keeps the permissions the file it replaces had; a new one gets what the umask
// leaves of 0666, as a plain write would give it, not the temporary's 0600.
TEST(OutputFileTest, ReplacedFilesKeepTheirPermissionsAndNewOnesFollowTheUmask) {
    velmora::testing::TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("shared"), std::string("old")));
    ::chmod(dir.file("shared").c_str(), 0660);
    const mode_t mask = ::umask(027);
    for (const char* name : {"shared", "new"}) {
        auto file = OutputFile::create(dir.file(name));
        ASSERT_TRUE(file) << file.error();
        file->append("new");
        EXPECT_TRUE(file->commit());
    }
    ::umask(mask);
    struct stat replaced {}, made {};
    ASSERT_EQ(::stat(dir.file("shared").c_str(), &replaced), 0);
    ASSERT_EQ(::stat(dir.file("new").c_str(), &made), 0);
    EXPECT_EQ(std::pair(replaced.st_mode & 07777, made.st_mode & 07777), std::pair(mode_t{0660}, mode_t{0640}));
    EXPECT_EQ(fileText(dir.file("shared")), "new");
}

// Devices, FIFOs and sockets are written into, never replaced; a FIFO nobody
// reads is refused at once instead of waiting for a reader.
TEST(OutputFileTest, StreamTargetsGetTheBytesAndStayWhatTheyAre) {
    velmora::testing::TempDir dir;
    std::string device = dir.file("null");  // a node of our own as root: a fault replaces no system file
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) device = "/dev/null";
    std::filesystem::create_symlink(device, dir.file("link"));
    auto viaLink = OutputFile::create(dir.file("link"));
    ASSERT_TRUE(viaLink) << viaLink.error();
    viaLink->append("bytes");
    EXPECT_TRUE(viaLink->commit());
    // Run with standard input closed, the device gets descriptor 0 and is still written, not replaced.
    const auto zeroCommitted = writtenWithStandardInputClosed(device, {"bytes"});
    EXPECT_TRUE(zeroCommitted) << zeroCommitted.error();
    struct stat node {};
    EXPECT_TRUE(::stat(device.c_str(), &node) == 0 && S_ISCHR(node.st_mode));
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    EXPECT_EQ(OutputFile::create(fifo).error(), "no process reads the FIFO");
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    auto piped = OutputFile::create(fifo);
    ASSERT_TRUE(piped) << piped.error();
    ::fcntl(reader, F_SETFL, 0);
    std::string got;
    std::thread drain([&] {
        char chunk[65536];
        for (ssize_t n; (n = ::read(reader, chunk, sizeof chunk)) > 0;) got.append(chunk, static_cast<std::size_t>(n));
    });
    piped->append(std::string((3 << 20) + 1, 'x'));  // more than a pipe holds, read while written
    piped->overwriteStart("head");
    EXPECT_TRUE(piped->commit());
    drain.join();
    ::close(reader);
    EXPECT_TRUE(got.size() == (3u << 20) + 1 && got.compare(0, 5, "headx") == 0);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    TemporaryFiles::removeOnTerminationSignals();  // as the programs do: a reader gone is a failed write
    const int leaving = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    auto orphaned = OutputFile::create(fifo);
    ::close(leaving);
    ASSERT_TRUE(orphaned);
    orphaned->append(std::string(1 << 20, 'x'));
    EXPECT_EQ(orphaned->commit().error(), std::strerror(EPIPE));
    EXPECT_EQ(entries(dir.path()), 2 + (device != "/dev/null"));  // the link, the FIFO, the node: no temporary file
}

// A name that with its end does not fit a slot's 4096 bytes is not registered for removal; one byte shorter is.
TEST(TemporaryFiles, NamesAreRegisteredOnlyWhereTheyFitWithTheirEnd) {
    EXPECT_EQ(TemporaryFiles::add(std::string(4096, 'n').c_str()), -1);
    const int slot = TemporaryFiles::add(std::string(4095, 'n').c_str());
    EXPECT_GE(slot, 0);
    TemporaryFiles::remove(slot);
    EXPECT_FALSE(OutputFile::create("/nonexistent/f"));
    EXPECT_EQ(TemporaryFiles::add("again"), slot);  // neither a removed name nor one never created keeps its slot
    TemporaryFiles::remove(slot);
}

// Refused up front, before a command computes anything; the first name that fails is named.
TEST(OutputCheck, RefusesWhatNoWriteCouldMake) {
    velmora::testing::TempDir dir;
    const std::string readOnly = dir.file("ro");
    ASSERT_TRUE(writeFile(readOnly, std::string("kept")));
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
    std::filesystem::create_symlink("a", dir.file("toA"));
    const std::string a = dir.file("a");
    struct Row {
        std::vector<std::string> names;
        std::string refused, reason;
    };
    const Row rows[] = {
        {{a, dir.file("none/b")}, dir.file("none/b"), "No such file or directory"},
        {{a, readOnly}, readOnly, "Permission denied"},
        {{a, dir.file("toA")}, dir.file("toA"), "another output of this command has the same name"},
        {{dir.file("./a"), a}, a, "another output of this command has the same name"},
        {{""}, "", "not a file name"},
        {{a, "/dev/null", "/dev/null"}, "", ""},  // a device takes one write after the other
    };
    for (const Row& row : rows) {
        const auto refusal = checkOutputs(row.names);
        EXPECT_EQ(refusal ? refusal->name + ": " + refusal->reason : ": ", row.refused + ": " + row.reason);
    }
    EXPECT_EQ(checkOutputPrefix(dir.file("d/"))->text(), "cannot write " + dir.file("d/") + ": the prefix has no file name of its own");
    EXPECT_FALSE(checkOutputPrefix(a));
}

// 2097152 kB is 2.0 GiB; the group's 1 GiB limit with 0.5 GiB in use leaves 0.5 GiB.
TEST(MemoryBudget, TheLeastOfMemAvailableAndTheControlGroupsHeadroom) {
    velmora::testing::TempDir root;
    std::filesystem::create_directories(root.path() / "proc");
    std::filesystem::create_directories(root.path() / "sys/fs/cgroup");
    velmora::testing::writeFile(root.file("proc/meminfo"), std::string("MemTotal: 8000000 kB\nMemAvailable: 2097152 kB\n"));
    const std::uint64_t gib = 1ull << 30;
    EXPECT_EQ(memoryShortfall(3 * gib, root.path().string()), "needs 3.0 GiB, 2.0 GiB available");
    EXPECT_EQ(memoryShortfall(2 * gib, root.path().string()), std::nullopt);
    velmora::testing::writeFile(root.file("sys/fs/cgroup/memory.max"), std::string("1073741824\n"));
    velmora::testing::writeFile(root.file("sys/fs/cgroup/memory.current"), std::string("536870912\n"));
    EXPECT_EQ(memoryShortfall(gib, root.path().string()), "needs 1.0 GiB, 0.5 GiB available");
    velmora::testing::writeFile(root.file("sys/fs/cgroup/memory.max"), std::string("max\n"));
    EXPECT_EQ(memoryShortfall(gib, root.path().string()), std::nullopt);
}

TEST(MemoryBudget, AControlGroupV1CountsAndAGroupOverItsLimitLeavesNothing) {
    velmora::testing::TempDir root;
    EXPECT_EQ(availableMemory(root.path().string()), std::nullopt);  // nothing readable: no limit at all
    std::filesystem::create_directories(root.path() / "proc");
    std::filesystem::create_directories(root.path() / "sys/fs/cgroup/memory");
    velmora::testing::writeFile(root.file("proc/meminfo"), std::string("MemAvailable: 1048576 kB\n"));
    velmora::testing::writeFile(root.file("sys/fs/cgroup/memory.max"), std::string("max\n"));
    velmora::testing::writeFile(root.file("sys/fs/cgroup/memory/memory.limit_in_bytes"), std::string("805306368\n"));
    velmora::testing::writeFile(root.file("sys/fs/cgroup/memory/memory.usage_in_bytes"), std::string("268435456\n"));
    EXPECT_EQ(availableMemory(root.path().string()), 536870912u);  // 768 MiB less 256 MiB in use
    velmora::testing::writeFile(root.file("sys/fs/cgroup/memory/memory.usage_in_bytes"), std::string("999999999\n"));
    EXPECT_EQ(memoryShortfall(1u << 29, root.path().string()), "needs 0.5 GiB, 0.0 GiB available");
}

// 1 GiB more than the process maps now is what `ulimit -v` leaves; 0 when all is right.
static int checkAddressSpaceBound() {
    const std::uint64_t gib = 1ull << 30;
    const auto available = velmora::testing::leaveAddressSpace(gib) ? availableMemory() : std::nullopt;
    return available && *available <= gib && *available > gib / 2 ? 0 : 1;
}

TEST(MemoryBudgetDeathTest, TheAddressSpaceLimitIsTheThirdBound) {
    EXPECT_EXIT(std::_Exit(checkAddressSpaceBound()), ::testing::ExitedWithCode(0), "");
}

// srand(1) / rand() of the classic C library: 41, 18467, 6334, ...; the generator has the full period 2^32.
TEST(RandomGenerator, DrawsTheClassicSequenceAndDiscardSkipsExactlyThatMany) {
    RandomGenerator random;
    for (int expected : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464})
        EXPECT_EQ(random.next(), expected);
    for (std::uint64_t count : {0ull, 1ull, 2ull, 3ull, 6ull, 13ull, 100ull, (1ull << 32) + 5}) {
        RandomGenerator skipped, stepped;
        skipped.seed(12345), stepped.seed(12345);
        skipped.discard(count);
        for (std::uint64_t i = 0; i < count % (1ull << 32); ++i) stepped.next();
        EXPECT_EQ(skipped.state(), stepped.state()) << count;
    }
}

// The first line's CR LF falls across the end of the file's first 64 KiB chunk.
TEST(ByteStream, LinesAndRecordsAreTheSameFromMemoryAndFromAFileReadInChunks) {
    velmora::testing::TempDir dir;
    const std::string text = std::string(65536, 'a') + "\r\nb\n\nccc";
    ASSERT_TRUE(writeFile(dir.file("text"), text));
    InputFile file;
    EXPECT_FALSE(file.isOpen());  // until opened: no descriptor, not even standard input's
    ASSERT_EQ(file.open(dir.file("text")), InputFile::Status::Ok);
    ByteStream fromMemory(text), fromFile(file);
    for (ByteStream* stream : {&fromMemory, &fromFile}) {
        std::string_view bytes, line;
        ASSERT_TRUE(stream->take(3, bytes) && stream->peek(2) == "aa");
        EXPECT_EQ(stream->nextLine(line, 65534), ByteStream::Line::TooLong);  // 65533 a's, CR LF past the first read
        std::string seen;
        for (std::size_t longest = 65535; stream->nextLine(line, longest) == ByteStream::Line::Ok; longest = 4)
            seen += std::to_string(line.size()) + std::string(line.substr(0, 1)) + " ";
        EXPECT_EQ(seen, "65533a 1b 0 3c ");
        EXPECT_TRUE(stream->atEnd() && !stream->take(1, bytes));
        EXPECT_EQ(stream->lineNumber(), 4);
    }
    EXPECT_EQ(std::make_pair(fromMemory.knownSize(), fromFile.knownSize()),
              std::make_pair(std::optional(text.size()), std::optional<std::size_t>()));
    EXPECT_FALSE(fromFile.readFailed());
    std::string_view two;
    EXPECT_TRUE(ByteStream("xy").take(2, two) && two == "xy");  // up to the last byte
}
