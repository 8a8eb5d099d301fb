// The file-type index scripts as the indexer runs them ("sh <script> <revision file> <output>"), each
// on a small real file of its kind made here: the words must come out, nothing may be printed or
// written beside the output, and an odd file or a missing converter must give an empty output and
// status 0.
#include "support/util.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string kScripts = MORVALE_SOURCE_DIR "/install/system_scripts/";

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string &path, const std::string &data) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

std::vector<std::string> list_dir(const std::string &dir) {
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Little-endian packing.
void put16(std::string &s, size_t at, uint32_t v) {
    s[at] = static_cast<char>(v & 0xff);
    s[at + 1] = static_cast<char>(v >> 8 & 0xff);
}
void put32(std::string &s, size_t at, uint32_t v) {
    put16(s, at, v & 0xffff);
    put16(s, at + 2, v >> 16);
}
std::string le16(uint32_t v) {
    std::string s(2, '\0');
    put16(s, 0, v);
    return s;
}
std::string le32(uint32_t v) {
    std::string s(4, '\0');
    put32(s, 0, v);
    return s;
}

// A compound document (the container of .doc, .xls and .ppt files) holding the given streams; each
// stream is at least 4096 bytes, so that all live in ordinary sectors and no mini stream is needed.
std::string compound_file(std::vector<std::pair<std::string, std::string>> streams) {
    const uint32_t end_of_chain = 0xFFFFFFFE, free_sect = 0xFFFFFFFF, no_stream = 0xFFFFFFFF;
    std::sort(streams.begin(), streams.end(), [](const auto &a, const auto &b) {
        return a.first.size() != b.first.size() ? a.first.size() < b.first.size() : a.first < b.first;
    });
    std::vector<uint32_t> fat = {0xFFFFFFFD, end_of_chain}; // sector 0: the FAT, 1: the directory
    std::string body;
    std::vector<uint32_t> starts;
    uint32_t sector = 2;
    for (auto &s : streams) {
        if (s.second.size() < 4096)
            s.second.resize(4096, '\0');
        uint32_t count = static_cast<uint32_t>((s.second.size() + 511) / 512);
        starts.push_back(sector);
        for (uint32_t i = 0; i < count; i++)
            fat.push_back(i + 1 < count ? sector + i + 1 : end_of_chain);
        sector += count;
        std::string data = s.second;
        data.resize(count * 512, '\0');
        body += data;
    }
    fat.resize(128, free_sect);
    std::string header(512, '\0');
    const unsigned char sig[] = {0xd0, 0xcf, 0x11, 0xe0, 0xa1, 0xb1, 0x1a, 0xe1};
    memcpy(header.data(), sig, sizeof(sig));
    put16(header, 0x18, 0x3E);
    put16(header, 0x1A, 3);
    put16(header, 0x1C, 0xFFFE);
    put16(header, 0x1E, 9);
    put16(header, 0x20, 6);
    put32(header, 0x2C, 1); // FAT sectors
    put32(header, 0x30, 1); // first directory sector
    put32(header, 0x38, 4096);
    put32(header, 0x3C, end_of_chain);
    put32(header, 0x44, end_of_chain);
    put32(header, 0x4C, 0);
    for (size_t at = 0x50; at < 512; at += 4)
        put32(header, at, free_sect);
    std::string fat_sector;
    for (uint32_t v : fat)
        fat_sector += le32(v);
    auto entry = [&](const std::string &name, int type, uint32_t right, uint32_t child, uint32_t start,
                     uint32_t size) {
        std::string e(128, '\0');
        for (size_t i = 0; i < name.size(); i++)
            e[2 * i] = name[i];
        put16(e, 0x40, name.empty() ? 0 : static_cast<uint32_t>(2 * name.size() + 2));
        e[0x42] = static_cast<char>(type);
        e[0x43] = 1;
        put32(e, 0x44, no_stream);
        put32(e, 0x48, right);
        put32(e, 0x4C, child);
        put32(e, 0x74, start);
        put32(e, 0x78, size);
        return e;
    };
    // The streams hang off the root in name order, each the right sibling of the one before.
    std::string dir = entry("Root Entry", 5, no_stream, 1, end_of_chain, 0);
    for (size_t i = 0; i < streams.size(); i++)
        dir += entry(streams[i].first, 2, i + 1 < streams.size() ? static_cast<uint32_t>(i + 2) : no_stream,
                     no_stream, starts[i], static_cast<uint32_t>(streams[i].second.size()));
    while (dir.size() < 512)
        dir += entry("", 0, no_stream, no_stream, 0, 0);
    return header + fat_sector + dir + body;
}

// A Word 97 document: the file information block with the text's place, then the text itself.
std::string word_doc(const std::string &text) {
    std::string fib(0x400, '\0');
    put16(fib, 0x00, 0xA5EC); // Word's signature
    put16(fib, 0x02, 0xC1);
    put16(fib, 0x06, 0x409);
    put16(fib, 0x0A, 0x0200); // table stream "1Table"
    put16(fib, 0x0C, 0xBF);
    put32(fib, 0x18, 0x400); // the text's first and last offsets
    put32(fib, 0x1C, static_cast<uint32_t>(0x400 + text.size()));
    put16(fib, 0x20, 14);
    put16(fib, 0x3E, 22);
    put32(fib, 0x4C, static_cast<uint32_t>(text.size()));
    return compound_file({{"WordDocument", fib + text}, {"1Table", std::string(16, '\0')}});
}

std::string biff(uint32_t type, const std::string &data) {
    return le16(type) + le16(static_cast<uint32_t>(data.size())) + data;
}

// An Excel 97 workbook of one sheet whose first row holds the words, from the shared string table.
std::string excel_xls(const std::vector<std::string> &words) {
    auto bof = [](uint32_t kind) {
        return biff(0x0809, le16(0x600) + le16(kind) + le16(0xDBB) + le16(0x7CC) + le32(0) + le32(6));
    };
    std::string sst = le32(static_cast<uint32_t>(words.size())) + le32(static_cast<uint32_t>(words.size()));
    for (const auto &w : words)
        sst += le16(static_cast<uint32_t>(w.size())) + std::string(1, '\0') + w;
    auto globals = [&](uint32_t sheet_at) {
        return bof(5) +
               biff(0x85, le32(sheet_at) + le16(0) + std::string(1, 6) + std::string(1, 0) + "Sheet1") +
               biff(0xFC, sst) + biff(0x0A, "");
    };
    std::string sheet = bof(0x10) + biff(0x0200, le32(0) + le32(1) + le16(0) +
                                                     le16(static_cast<uint32_t>(words.size())) + le16(0));
    for (size_t i = 0; i < words.size(); i++)
        sheet +=
            biff(0xFD, le16(0) + le16(static_cast<uint32_t>(i)) + le16(0) + le32(static_cast<uint32_t>(i)));
    sheet += biff(0x0A, "");
    return compound_file({{"Workbook", globals(static_cast<uint32_t>(globals(0).size())) + sheet}});
}

std::string ppt_record(uint32_t ver, uint32_t type, const std::string &data) {
    return le16(ver) + le16(type) + le32(static_cast<uint32_t>(data.size())) + data;
}

// A PowerPoint 97 presentation: the document container, its slide list and one text atom.
std::string powerpoint_ppt(const std::string &text) {
    std::string slide_list =
        ppt_record(0xF, 0x0FF0, ppt_record(0, 0x0F9F, le32(1)) + ppt_record(0, 0x0FA8, text));
    return compound_file({{"PowerPoint Document", ppt_record(0xF, 0x03E8, slide_list)}});
}

// A one-page PDF with the text in the standard Helvetica font, its cross-reference table exact.
std::string pdf(const std::string &text) {
    std::string content = "BT /F1 12 Tf 72 720 Td (" + text + ") Tj ET";
    std::vector<std::string> objs = {
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 4 0 R >> >> "
        "/Contents 5 0 R >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream"};
    std::string out = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objs.size(); i++) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objs[i] + "\nendobj\n";
    }
    size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objs.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t o : offsets) {
        char line[32];
        snprintf(line, sizeof(line), "%010zu 00000 n \n", o);
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(objs.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return out;
}

// A WordPerfect 5 document: the 16-byte header, then text with hard returns.
std::string wordperfect(const std::string &text) {
    std::string h = std::string("\xffWPC", 4) + le32(16) + std::string("\x01\x0a\x00\x00", 4) + le32(0);
    return h + text;
}

std::string utf16le(const std::string &ascii) {
    std::string s;
    for (char c : ascii)
        s += std::string(1, c) + std::string(1, '\0');
    return s;
}

struct RunResult {
    int status = -1;
    std::string out, err;
};

// Runs "sh <script> args..." in the working directory `cwd` with PATH set to `path`.
RunResult run_script(const std::string &script, const std::vector<std::string> &args, const std::string &cwd,
                     const std::string &path, const std::string &scratch) {
    std::string out_path = scratch + "/stdout", err_path = scratch + "/stderr";
    pid_t pid = fork();
    if (pid == 0) {
        int o = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(o, 1);
        dup2(e, 2);
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        std::vector<std::string> all = {"/bin/sh", kScripts + script};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (auto &a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::string env_path = "PATH=" + path;
        char *envp[] = {env_path.data(), nullptr};
        execve("/bin/sh", argv.data(), envp);
        _exit(127);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    RunResult r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    r.out = read_file(out_path);
    r.err = read_file(err_path);
    return r;
}

const std::string kSystemPath = "/usr/local/bin:/usr/bin:/bin";

struct Sample {
    std::string script;
    std::string kind;               // what the file is, for messages
    std::string file;               // a good file of its kind
    std::vector<std::string> words; // words the output must hold
    std::string damaged;            // a file of the right kind that its converter cannot read ("" if none)
    std::vector<std::string> tools; // the converters; without them the output is empty
};

std::vector<Sample> samples() {
    std::string rtf =
        "{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}\\f0\\pard Quarterly {\\b budget} review\\par"
        "{\\pict\\pngblip\\picw1\\pich1 89504e470d0a1a0a}Second paragraph\\par}\n";
    std::string mif =
        "<MIFFile 7.00> # made by hand\n<Para\n <PgfTag `Body'>\n <ParaLine\n"
        "  <String `Quarterly budget'>\n  <Char Tab>\n  <String `forecast for the \\xd5 year'>\n"
        " > # end of ParaLine\n>\n";
    std::string maker = "<MakerFile 7.0>\n" + std::string("\x01\x02\x00\x07", 4) + "Quarterly budget draft" +
                        std::string("\x00\x00\x13", 3);
    std::string outlook = compound_file({{"__substg1.0_0037001F", utf16le("Quarterly budget meeting")},
                                         {"__substg1.0_1000001E", "Agenda attached"}});
    return {
        {"text_index.sh",
         "text",
         "Quarterly budget\nnotes for the team\n",
         {"Quarterly", "budget", "team"},
         "",
         {"cat"}},
        {"html_index.sh",
         "html",
         "<html><head><style>p {}</style></head><body><h1>Quarterly&nbsp;review</h1><p>Caf&eacute; &amp; "
         "budget</p></body></html>",
         {"Quarterly", "review", "Caf\xc3\xa9", "budget"},
         "",
         {"html2text"}},
        {"pdf_index.sh",
         "pdf",
         pdf("Quarterly budget report"),
         {"Quarterly budget report"},
         pdf("Quarterly budget report").substr(0, 60),
         {"pdftotext"}},
        {"word_index.sh",
         "doc",
         word_doc("Quarterly budget memo\r"),
         {"Quarterly budget memo"},
         word_doc("x").substr(0, 600),
         {"catdoc", "antiword"}},
        {"word_index.sh", "rtf saved as doc", rtf, {"Quarterly budget review"}, "", {"unrtf"}},
        {"excel_index.sh",
         "xls",
         excel_xls({"Quarterly", "budget", "Zebra"}),
         {"Quarterly", "budget", "Zebra"},
         excel_xls({"x"}).substr(0, 600),
         {"xls2csv"}},
        {"ppt_index.sh",
         "ppt",
         powerpoint_ppt("Quarterly budget slide"),
         {"Quarterly budget slide"},
         powerpoint_ppt("x").substr(0, 600),
         {"catppt"}},
        {"rtf_index.sh", "rtf", rtf, {"Quarterly budget review", "Second paragraph"}, "", {"unrtf"}},
        {"wpd_index.sh",
         "wpd",
         wordperfect("Quarterly budget letter\nSecond line\n"),
         {"Quarterly budget letter", "Second line"},
         std::string("\xffWPC", 4) + le32(5000) + std::string("\x01\x0a\x00\x00", 4) + le32(0) + "junk",
         {"wpd2text"}},
        {"fm_index.sh", "mif", mif, {"Quarterly budget", "forecast for the", "year"}, "", {"sed"}},
        {"fm_index.sh", "fm", maker, {"Quarterly budget draft"}, "", {"strings"}},
        {"general_index.sh",
         "msg as text",
         "From: Ann <ann@example.com>\nSubject: Quarterly budget\n\nSee the figures.\n",
         {"Quarterly budget", "figures"},
         "",
         {"cat"}},
        {"general_index.sh",
         "outlook msg",
         outlook,
         {"Quarterly budget meeting", "Agenda attached"},
         "",
         {"strings"}},
    };
}

// A PATH directory holding the everyday tools the scripts use, but none of the `missing` ones.
std::string path_without(const std::string &dir, const std::vector<std::string> &missing) {
    mkdir(dir.c_str(), 0755);
    for (const char *tool :
         {"head", "od", "tr", "cat", "grep", "sed", "rm", "dirname", "sh", "strings", "pdftotext", "catdoc",
          "antiword", "xls2csv", "catppt", "unrtf", "html2text", "wpd2text"}) {
        if (std::find(missing.begin(), missing.end(), tool) != missing.end())
            continue;
        for (const char *bin : {"/usr/bin/", "/bin/"}) {
            std::string src = std::string(bin) + tool;
            if (access(src.c_str(), X_OK) == 0) {
                if (symlink(src.c_str(), (dir + "/" + tool).c_str()) != 0) {
                }
                break;
            }
        }
    }
    return dir;
}

bool converters_installed() {
    for (const char *tool :
         {"pdftotext", "catdoc", "xls2csv", "catppt", "unrtf", "html2text", "wpd2text", "strings"})
        if (access((std::string("/usr/bin/") + tool).c_str(), X_OK) != 0)
            return false;
    return true;
}

} // namespace

TEST(IndexScripts, EveryBuiltInScriptIsShipped) {
    for (const char *s :
         {"word_index.sh", "excel_index.sh", "pdf_index.sh", "fm_index.sh", "ppt_index.sh", "text_index.sh",
          "html_index.sh", "rtf_index.sh", "general_index.sh", "wpd_index.sh"})
        EXPECT_EQ(access((kScripts + s).c_str(), R_OK), 0) << s;
}

TEST(IndexScripts, EachTurnsItsKindIntoTextAndWritesNothingElse) {
    if (!converters_installed())
        GTEST_SKIP() << "the converters are not installed (scripts/lib/deps.sh installs them)";
    for (const Sample &s : samples()) {
        SCOPED_TRACE(s.script + " on " + s.kind);
        mot_test::TempDir dir;
        std::string docs = dir.path + "/docs", cwd = dir.path + "/cwd";
        mkdir(docs.c_str(), 0755);
        mkdir(cwd.c_str(), 0755);
        std::string in = docs + "/5", out = docs + "/index.5";
        write_file(in, s.file);
        RunResult r = run_script(s.script, {in, out}, cwd, kSystemPath, dir.path);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "") << "any line on standard error fails the index run";
        std::string text = read_file(out);
        for (const auto &w : s.words)
            EXPECT_NE(text.find(w), std::string::npos) << "missing \"" << w << "\" in:\n" << text;
        EXPECT_EQ(read_file(in), s.file) << "the revision file is never changed";
        EXPECT_EQ(list_dir(docs), (std::vector<std::string>{"5", "index.5"}));
        EXPECT_TRUE(list_dir(cwd).empty()) << "nothing is written into the working directory";
    }
}

TEST(IndexScripts, OddFilesGiveAnEmptyOutputAndSuccess) {
    std::string noise;
    for (int i = 0; i < 3000; i++)
        noise += static_cast<char>((i * 131 + 7) % 256);
    for (const Sample &s : samples()) {
        SCOPED_TRACE(s.script + " on " + s.kind);
        mot_test::TempDir dir;
        std::string in = dir.path + "/rev", out = dir.path + "/out";
        std::vector<std::string> odd = {noise};
        if (!s.damaged.empty())
            odd.push_back(s.damaged);
        if (s.script != "general_index.sh" && s.script != "fm_index.sh")
            odd.push_back(""); // an empty revision
        for (const auto &content : odd) {
            write_file(in, content);
            write_file(out, "stale text of an earlier run");
            RunResult r = run_script(s.script, {in, out}, dir.path, kSystemPath, dir.path);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(r.out, "");
            if (s.script == "general_index.sh" && content == noise)
                continue; // a message of binary runs: whatever text runs it holds are its text
            EXPECT_EQ(read_file(out), "") << "from " << content.size() << " bytes";
        }
        // A revision file that is gone, and calls without the two arguments.
        unlink(in.c_str());
        RunResult r = run_script(s.script, {in, out}, dir.path, kSystemPath, dir.path);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(read_file(out), "");
        EXPECT_EQ(access(out.c_str(), F_OK), 0) << "the output exists, so the indexer finds it";
        EXPECT_EQ(run_script(s.script, {}, dir.path, kSystemPath, dir.path).status, 0);
        EXPECT_EQ(run_script(s.script, {in}, dir.path, kSystemPath, dir.path).status, 0);
        // An output that cannot be written.
        r = run_script(s.script, {in, dir.path + "/no/such/dir/out"}, dir.path, kSystemPath, dir.path);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
    }
}

TEST(IndexScripts, AMissingConverterGivesAnEmptyOutputAndSuccess) {
    for (const Sample &s : samples()) {
        SCOPED_TRACE(s.script + " on " + s.kind);
        mot_test::TempDir dir;
        std::string in = dir.path + "/rev", out = dir.path + "/out";
        write_file(in, s.file);
        std::string bin = path_without(dir.path + "/bin", s.tools);
        RunResult r = run_script(s.script, {in, out}, dir.path, bin, dir.path);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(read_file(out), "");
        // And with no tools at all, as under a server started with an empty PATH.
        r = run_script(s.script, {in, out}, dir.path, dir.path + "/empty", dir.path);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(read_file(out), "");
    }
}
