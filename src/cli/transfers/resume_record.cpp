#include "cli/transfers/resume_record.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "cli/system/files.h"
#include "cli/transfers/part_files.h"

namespace {

using nlohmann::json;

// A record is a few hundred bytes; anything much longer is not one.
const long long RecordSizeLimit = 4096;

bool TextOf(const json& top, const char* key, std::string* out) {
    auto found = top.find(key);
    if (found == top.end() || !found->is_string()) return false;
    *out = found->get<std::string>();
    return true;
}

}  // namespace

unsigned long WriteResumeRecord(const std::string& path, const ResumeRecord& record) {
    nlohmann::ordered_json top;
    top["program"] = std::string("dm730 ") + SELVO_VERSION;
    top["port"] = record.port;
    top["firmwareVersion"] = record.firmwareVersion;
    top["secondVersion"] = record.secondVersion;
    top["region"] = FactsOf(record.kind).word;
    top["blocksWritten"] = record.blocksWritten;
    top["regionWritten"] = record.regionWritten;
    top["readBack"] = record.readBack;
    // A short name of its own beside it: the record's name may be at the limit.
    size_t separator = path.find_last_of("/\\");
    std::string folder = separator == std::string::npos ? "." : path.substr(0, separator + 1);
    char name[32];
    std::snprintf(name, sizeof name, ".dm730-%08lx.new", ShortHash(path));
    std::string fresh = PathInFolder(folder, name);
    errno = 0;
    std::ofstream file(fresh, std::ios::binary | std::ios::trunc);
    file << top.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
    file.close();
    if (file.fail()) return errno != 0 ? (unsigned long)errno : (unsigned long)EIO;
    if (MoveFileOver(fresh.c_str(), path.c_str()) == FileOperationDone) return 0;
    unsigned long error = LastFileError();
    RemoveFileOrLink(fresh.c_str());
    return error;
}

ResumeRecordOutcome ReadResumeRecord(const std::string& path, ResumeRecord* record) {
    PathKind kind = KindOfPath(path.c_str(), true);
    if (kind == PathMissing) return RecordMissing;
    long long size = kind == PathRegular ? FileSizeOf(path.c_str()) : -1;
    if (size < 0 || size > RecordSizeLimit) return RecordInvalid;
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The parser would stop at a NUL and take what came before for the whole.
    if (text.find('\0') != std::string::npos) return RecordInvalid;
    json top = json::parse(text, nullptr, false);
    if (top.is_discarded() || !top.is_object()) return RecordInvalid;
    ResumeRecord read;
    std::string region;
    auto blocks = top.find("blocksWritten");
    auto written = top.find("regionWritten");
    auto readBack = top.find("readBack");
    if (!TextOf(top, "port", &read.port) ||
        !TextOf(top, "firmwareVersion", &read.firmwareVersion) ||
        !TextOf(top, "secondVersion", &read.secondVersion) || !TextOf(top, "region", &region) ||
        !KindOfWord(region.c_str(), &read.kind) || blocks == top.end() ||
        !blocks->is_number_unsigned() || written == top.end() || !written->is_boolean() ||
        readBack == top.end() || !readBack->is_boolean())
        return RecordInvalid;
    read.blocksWritten = blocks->get<unsigned long>();
    read.regionWritten = written->get<bool>();
    read.readBack = readBack->get<bool>();
    if (read.blocksWritten > LookUpRegion(read.kind).blockCount) return RecordInvalid;
    *record = read;
    return RecordRead;
}
