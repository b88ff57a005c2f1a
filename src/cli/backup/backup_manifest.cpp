#include "cli/backup/backup_manifest.h"

#include <nlohmann/json.hpp>

#include "cli/console/console_text.h"
#include "cli/console/messages.h"
#include "cli/system/files.h"
#include "cli/transfers/port_selector.h"
#include "protocol/regions.h"

const char ManifestFileName[] = "manifest.json";
const char SumsFileName[] = "SHA256SUMS";

namespace {

using nlohmann::json;

// A manifest is about a kilobyte; anything much longer is not one.
const unsigned long long ManifestSizeLimit = 65536;

unsigned long long BlocksFor(unsigned long long bytes) {
    return (bytes + BlockSize - 1) / BlockSize;
}

// Only a name that stays inside the folder, whatever the system: no separator
// of either system, no drive or stream colon, no "." or "..", no control byte.
bool IsBareFileName(const std::string& name) {
    if (name.empty() || name.size() > FileNameLimit || name == "." || name == "..") return false;
    for (char c : name)
        if (c == '/' || c == '\\' || c == ':' || (unsigned char)c < 0x20 || c == 0x7F) return false;
    return true;
}

bool IsLowerHexDigest(const std::string& text) {
    if (text.size() != 64) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// Empty when the region's file fits it; else why not, naming shownName.
std::string FitProblem(DataKind kind, const ManifestRegion& region, const std::string& shownName) {
    if (region.bytes == 0) return SayFormatted(MsgManifestFileEmpty, shownName.c_str());
    if (region.bytes > RegionBytes(kind))
        return SayFormatted(MsgManifestFileTooBig, shownName.c_str(), region.bytes,
                            FactsOf(kind).word, (unsigned long long)RegionBytes(kind));
    return "";
}

// The checks of one parse: the first refusal is kept, with its text.
struct ManifestReader {
    ManifestOutcome outcome = ManifestValid;
    std::string problem;

    bool Refuse(ManifestOutcome why, const std::string& text) {
        if (outcome == ManifestValid) {
            outcome = why;
            problem = text;
        }
        return false;
    }

    const json* Member(const json& object, const char* key, const std::string& where) {
        auto found = object.find(key);
        if (found == object.end()) {
            Refuse(ManifestKeyMissing, SayFormatted(MsgManifestKeyMissing, where.c_str()));
            return nullptr;
        }
        return &*found;
    }

    const json* Object(const json& object, const char* key, const std::string& where) {
        const json* value = Member(object, key, where);
        if (value != nullptr && !value->is_object()) {
            Refuse(ManifestWrongType, SayFormatted(MsgManifestNotObject, where.c_str()));
            return nullptr;
        }
        return value;
    }

    bool Text(const json& object, const char* key, const std::string& where, std::string* out) {
        const json* value = Member(object, key, where);
        if (value == nullptr) return false;
        if (!value->is_string())
            return Refuse(ManifestWrongType, SayFormatted(MsgManifestNotText, where.c_str()));
        *out = value->get<std::string>();
        return true;
    }

    bool Count(const json& object, const char* key, const std::string& where,
               unsigned long long* out) {
        const json* value = Member(object, key, where);
        if (value == nullptr) return false;
        if (!value->is_number_unsigned())
            return Refuse(ManifestWrongType, SayFormatted(MsgManifestNotCount, where.c_str()));
        *out = value->get<unsigned long long>();
        return true;
    }

    bool Region(DataKind kind, const json& entry, ManifestRegion* region) {
        const std::string where = std::string("regions.") + FactsOf(kind).word;
        std::string kindWord;
        unsigned long long first = 0, blocks = 0;
        if (!Text(entry, "kind", where + ".kind", &kindWord) ||
            !Text(entry, "file", where + ".file", &region->file) ||
            !Count(entry, "firstBlock", where + ".firstBlock", &first) ||
            !Count(entry, "blocks", where + ".blocks", &blocks) ||
            !Count(entry, "bytes", where + ".bytes", &region->bytes) ||
            !Text(entry, "sha256", where + ".sha256", &region->sha256))
            return false;
        if (kindWord != FactsOf(kind).word)
            return Refuse(ManifestBadValue,
                          SayFormatted(MsgManifestWrongKind, where.c_str(), FactsOf(kind).word));
        if (!IsBareFileName(region->file))
            return Refuse(ManifestBadFileName, SayFormatted(MsgManifestBadFileName, where.c_str()));
        if (first != LookUpRegion(kind).firstBlock)
            return Refuse(ManifestBadValue, SayFormatted(MsgManifestWrongFirstBlock, where.c_str(),
                                                         LookUpRegion(kind).firstBlock));
        if (!IsLowerHexDigest(region->sha256))
            return Refuse(ManifestBadValue, SayFormatted(MsgManifestBadDigest, where.c_str()));
        std::string fit = FitProblem(kind, *region, QuotedText(region->file));
        if (!fit.empty()) return Refuse(ManifestDoesNotFit, fit);
        if (blocks != BlocksFor(region->bytes))
            return Refuse(ManifestBadValue,
                          SayFormatted(MsgManifestBlocksDiffer, where.c_str(), blocks,
                                       where.c_str(), (unsigned long)BlocksFor(region->bytes)));
        region->firstBlock = (unsigned)first;
        region->blocks = (unsigned)blocks;
        return true;
    }

    // Optional, and so is each of its keys; present, each must be a text.
    bool Adapter(const json& top, BackupManifest* manifest) {
        if (!top.contains("adapter")) return true;
        const json* adapter = Object(top, "adapter", "adapter");
        if (adapter == nullptr) return false;
        ManifestAdapter& a = manifest->adapter;
        const std::pair<const char*, std::string*> keys[] = {
            {"transport", &a.transport},       {"usbId", &a.usbId},       {"product", &a.product},
            {"serialNumber", &a.serialNumber}, {"location", &a.location}, {"byId", &a.byId}};
        for (const auto& key : keys)
            if (adapter->contains(key.first) &&
                !Text(*adapter, key.first, std::string("adapter.") + key.first, key.second))
                return false;
        manifest->hasAdapter = true;
        return true;
    }

    void Manifest(const json& top, BackupManifest* manifest) {
        if (!top.is_object()) {
            Refuse(ManifestWrongType, Say(MsgManifestNotJsonObject));
            return;
        }
        if (!Text(top, "program", "program", &manifest->program) ||
            !Text(top, "created", "created", &manifest->created) ||
            !Text(top, "port", "port", &manifest->port) || !Adapter(top, manifest) ||
            !Text(top, "firmwareVersion", "firmwareVersion", &manifest->firmwareVersion) ||
            !Text(top, "secondVersion", "secondVersion", &manifest->secondVersion))
            return;
        const json* regions = Object(top, "regions", "regions");
        if (regions == nullptr) return;
        for (auto item = regions->begin(); item != regions->end(); ++item) {
            DataKind named;
            if (!KindOfWord(item.key().c_str(), &named)) {
                Refuse(ManifestUnknownRegion,
                       SayFormatted(MsgManifestUnknownRegion, QuotedText(item.key()).c_str()));
                return;
            }
        }
        for (DataKind kind : AllDataKinds) {
            std::string where = std::string("regions.") + FactsOf(kind).word;
            const json* entry = Object(*regions, FactsOf(kind).word, where);
            if (entry == nullptr || !Region(kind, *entry, &manifest->regions[kind])) return;
        }
        // One file written into two regions is no backup of this controller.
        for (int a = 0; a < 3; ++a)
            for (int b = a + 1; b < 3; ++b)
                if (manifest->regions[a].file == manifest->regions[b].file) {
                    Refuse(ManifestBadValue,
                           SayFormatted(MsgManifestSameFile, DataKindTable[a].word,
                                        DataKindTable[b].word,
                                        QuotedText(manifest->regions[a].file).c_str()));
                    return;
                }
    }
};

}  // namespace

ManifestAdapter AdapterOf(const PortIdentity& port) {
    ManifestAdapter adapter;
    switch (port.transport) {
    case TransportNative: adapter.transport = "native"; break;
    case TransportUsb: adapter.transport = "usb"; break;
    case TransportBluetooth: adapter.transport = "bluetooth"; break;
    case TransportSimulated: adapter.transport = "pty"; break;
    case TransportUnknown: adapter.transport = "unknown"; break;
    }
    adapter.usbId = UsbIdOf(port);
    adapter.product = port.product;
    adapter.serialNumber = port.serialNumber;
    adapter.location = port.location;
    adapter.byId = port.byId;
    return adapter;
}

std::string UtcTimestamp(std::time_t when) {
    char text[32] = "";
    const std::tm* utc = std::gmtime(&when);
    if (utc == nullptr || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc) == 0)
        return "";
    return text;
}

ManifestRegion DescribeRegionFile(DataKind kind, const char* name, const Sha256Digest& digest) {
    ManifestRegion region;
    region.file = name;
    region.firstBlock = LookUpRegion(kind).firstBlock;
    region.blocks = (unsigned)BlocksFor(digest.bytes);
    region.bytes = digest.bytes;
    region.sha256 = digest.hex;
    return region;
}

std::string ManifestText(const BackupManifest& manifest) {
    nlohmann::ordered_json top;
    top["program"] = manifest.program;
    top["created"] = manifest.created;
    top["port"] = manifest.port;
    if (manifest.hasAdapter) {
        const ManifestAdapter& a = manifest.adapter;
        nlohmann::ordered_json adapter;
        adapter["transport"] = a.transport;
        adapter["usbId"] = a.usbId;
        adapter["product"] = a.product;
        adapter["serialNumber"] = a.serialNumber;
        adapter["location"] = a.location;
        adapter["byId"] = a.byId;
        top["adapter"] = adapter;
    }
    top["firmwareVersion"] = manifest.firmwareVersion;
    top["secondVersion"] = manifest.secondVersion;
    nlohmann::ordered_json regions = nlohmann::ordered_json::object();
    for (DataKind kind : AllDataKinds) {
        const ManifestRegion& r = manifest.regions[kind];
        nlohmann::ordered_json entry;
        entry["kind"] = FactsOf(kind).word;
        entry["file"] = r.file;
        entry["firstBlock"] = r.firstBlock;
        entry["blocks"] = r.blocks;
        entry["bytes"] = r.bytes;
        entry["sha256"] = r.sha256;
        regions[FactsOf(kind).word] = entry;
    }
    top["regions"] = regions;
    return top.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string Sha256SumsText(const BackupManifest& manifest) {
    std::string text;
    for (const ManifestRegion& r : manifest.regions) text += r.sha256 + "  " + r.file + "\n";
    return text;
}

ManifestOutcome ParseManifest(const std::string& text, BackupManifest* manifest,
                              std::string* problem) {
    *manifest = BackupManifest();
    ManifestReader reader;
    // The parser ends its input at a NUL and would take what came before it
    // for the whole: the JSON text is all there is, white space around it.
    size_t nul = text.find('\0');
    try {
        if (nul != std::string::npos)
            reader.Refuse(ManifestNotJson,
                          SayFormatted(MsgManifestNotJson, std::to_string(nul).c_str()));
        else
            reader.Manifest(json::parse(text), manifest);
    } catch (const json::parse_error& e) {
        reader.Refuse(ManifestNotJson,
                      SayFormatted(MsgManifestNotJson, std::to_string(e.byte).c_str()));
    }
    *problem = reader.problem;
    if (reader.outcome != ManifestValid) *manifest = BackupManifest();
    return reader.outcome;
}

ManifestOutcome ReadManifestFile(const std::string& folder, BackupManifest* manifest,
                                 std::string* problem) {
    *manifest = BackupManifest();
    const std::string path = PathInFolder(folder, ManifestFileName);
    std::string text;
    switch (ReadWholeFile(path.c_str(), ManifestSizeLimit, &text)) {
    case WholeFileRead: break;
    case WholeFileMissing:
        *problem = SayFormatted(MsgManifestMissing, path.c_str());
        return ManifestMissing;
    case WholeFileNotRegular:
        *problem = SayFormatted(MsgNotRegular, path.c_str());
        return ManifestUnreadable;
    case WholeFileUnreadable:
        *problem = SayFormatted(MsgReadFailedBecause, path.c_str(),
                                SystemErrorText(LastFileError()).c_str());
        return ManifestUnreadable;
    }
    if (text.size() > ManifestSizeLimit) {
        *problem = SayFormatted(MsgManifestTooLong, path.c_str(), (unsigned long)ManifestSizeLimit);
        return ManifestUnreadable;
    }
    ManifestOutcome outcome = ParseManifest(text, manifest, problem);
    if (outcome != ManifestValid)
        *problem = SayFormatted(MsgPrefixed, path.c_str(), problem->c_str());
    return outcome;
}

FolderCheckOutcome CheckBackupFolder(const std::string& folder, const BackupManifest& manifest,
                                     std::string contents[DataKindCount], std::string* problems) {
    FolderCheckOutcome first = FolderMatches;
    problems->clear();
    for (DataKind kind : AllDataKinds) {
        const ManifestRegion& region = manifest.regions[kind];
        const std::string path = PathInFolder(folder, region.file.c_str());
        FolderCheckOutcome outcome = FolderMatches;
        std::string problem = FitProblem(kind, region, path);
        std::string& bytes = contents[kind];
        bytes.clear();
        if (!problem.empty()) {
            outcome = FolderDoesNotFit;
        } else {
            // Read once, no further than its region holds: what is checked
            // here is what goes to the controller.
            switch (ReadWholeFile(path.c_str(), RegionBytes(kind), &bytes)) {
            case WholeFileRead: break;
            case WholeFileMissing:
                outcome = FolderFileMissing;
                problem = SayFormatted(MsgBackupFileMissing, path.c_str());
                break;
            case WholeFileNotRegular:
                outcome = FolderNotRegularFile;
                problem = SayFormatted(MsgBackupNotRegular, path.c_str());
                break;
            case WholeFileUnreadable:
                outcome = FolderFileUnreadable;
                problem = SayFormatted(MsgBackupUnreadable, path.c_str());
                break;
            }
            if (outcome != FolderMatches && LastFileError() != 0)
                problem += SayFormatted(MsgBecause, SystemErrorText(LastFileError()).c_str());
        }
        Sha256Digest digest;
        if (outcome == FolderMatches && bytes.size() != region.bytes) {
            outcome = FolderSizeDiffers;
            std::string size =
                bytes.size() > RegionBytes(kind)
                    ? SayFormatted(MsgMoreThan, (unsigned long long)RegionBytes(kind))
                    : std::to_string(bytes.size());
            problem = SayFormatted(MsgBackupSizeDiffers, path.c_str(), size.c_str(), region.bytes);
        } else if (outcome == FolderMatches &&
                   (HashBytesSha256(bytes, &digest) != Sha256Done || digest.hex != region.sha256)) {
            outcome = FolderContentDiffers;
            problem = SayFormatted(MsgBackupDigestDiffers, path.c_str());
        }
        if (outcome == FolderMatches) continue;
        bytes.clear();
        if (first == FolderMatches) first = outcome;
        if (!problems->empty()) *problems += "\n";
        *problems += problem;
    }
    return first;
}
