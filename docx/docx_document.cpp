#include "docx/docx_document.h"

#include <expat.h>

#include <algorithm>
#include <memory>

#include "docx/docx_text.h"

namespace melvane {
namespace {

constexpr char kNameSeparator = '\n';

// Relationship types end in one of these names after either form's base.
constexpr std::string_view kTransitionalTypes =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
constexpr std::string_view kStrictTypes =
    "http://purl.oclc.org/ooxml/officeDocument/relationships/";

struct Relationship {
    std::string type;  // without the base: "officeDocument", "header", ...
    std::string target;
    bool external = false;
};

std::string ShortType(std::string_view type) {
    for (std::string_view base : {kTransitionalTypes, kStrictTypes}) {
        if (type.substr(0, base.size()) == base) {
            return std::string(type.substr(base.size()));
        }
    }
    return {};
}

bool ParseRelationships(const std::string& bytes, std::vector<Relationship>& relationships) {
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
        XML_ParserCreateNS(nullptr, kNameSeparator), &XML_ParserFree);
    if (!parser || bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
        return false;
    }
    XML_SetUserData(parser.get(), &relationships);
    XML_SetStartElementHandler(
        parser.get(), [](void* data, const XML_Char* rawName, const XML_Char** attributes) {
            const std::string_view name(rawName);
            if (name.substr(name.rfind(kNameSeparator) + 1) != "Relationship") {
                return;
            }
            Relationship relationship;
            for (const XML_Char** a = attributes; *a != nullptr; a += 2) {
                const std::string_view key(a[0]);
                if (key == "Type") {
                    relationship.type = ShortType(a[1]);
                } else if (key == "Target") {
                    relationship.target = a[1];
                } else if (key == "TargetMode") {
                    relationship.external = std::string_view(a[1]) == "External";
                }
            }
            static_cast<std::vector<Relationship>*>(data)->push_back(std::move(relationship));
        });
    return XML_Parse(parser.get(), bytes.data(), static_cast<int>(bytes.size()), XML_TRUE) ==
           XML_STATUS_OK;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A relationship's target as a package entry name, or empty when it leaves the package. Names
// are only ever looked up among the entries, never used as paths.
std::string ResolveTarget(std::string_view sourceFolder, std::string_view target) {
    std::string decoded;
    for (std::size_t i = 0; i < target.size(); ++i) {
        if (target[i] == '%' && i + 2 < target.size() && HexValue(target[i + 1]) >= 0 &&
            HexValue(target[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(target[i + 1]) * 16 + HexValue(target[i + 2]));
            i += 2;
        } else {
            decoded += target[i];
        }
    }
    std::string joined = !decoded.empty() && decoded.front() == '/'
                             ? decoded.substr(1)
                             : std::string(sourceFolder) + decoded;
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= joined.size()) {
        const std::size_t slash = std::min(joined.find('/', start), joined.size());
        const std::string segment = joined.substr(start, slash - start);
        start = slash + 1;
        if (segment.empty() || segment == ".") {
            continue;
        }
        if (segment == "..") {
            if (segments.empty()) {
                return {};
            }
            segments.pop_back();
            continue;
        }
        segments.push_back(segment);
    }
    std::string name;
    for (const std::string& segment : segments) {
        name += (name.empty() ? "" : "/") + segment;
    }
    return name;
}

std::string FolderOf(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

std::string RelationshipsOf(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    const std::size_t file = slash == std::string::npos ? 0 : slash + 1;
    return name.substr(0, file) + "_rels/" + name.substr(file) + ".rels";
}

struct LoadedParts {
    bool loaded = false;
    std::string reason;
    std::vector<std::string> names;
    std::vector<DocxPart> parts;
    DocxStyles styles;
};

LoadedParts LoadParts(const DocxEntryReader& read) {
    LoadedParts loaded;
    const DocxParts found = FindDocxParts(read);
    if (!found.found) {
        loaded.reason = found.reason;
        return loaded;
    }
    for (const std::string& name : found.names) {
        DocxEntry entry;
        DocxPart part;
        const DocxParseResult parsed = ParseDocxPart(
            [&](const DocxAllocate& allocate) {
                entry = read(name, allocate);
                return entry.status == DocxEntryStatus::Read;
            },
            part);
        if (entry.status == DocxEntryStatus::Missing && name != found.names.front()) {
            continue;  // a header named but not there: nothing of it to keep
        }
        if (entry.status != DocxEntryStatus::Read) {
            loaded.reason = name + ": " + (entry.reason.empty() ? "missing" : entry.reason);
            return loaded;
        }
        if (!parsed.parsed) {
            loaded.reason = name + ": " + parsed.error;
            return loaded;
        }
        loaded.names.push_back(name);
        loaded.parts.push_back(std::move(part));
    }
    // Styles only tell songs apart: a document without readable ones is still transposed.
    std::string styles;
    if (!found.styles.empty() &&
        ReadDocxEntry(read, found.styles, styles).status == DocxEntryStatus::Read) {
        loaded.styles = ParseDocxStyles(styles);
    }
    loaded.loaded = true;
    return loaded;
}

}  // namespace

DocxEntry ReadDocxEntry(const DocxEntryReader& read, const std::string& name, std::string& bytes) {
    return read(name, [&bytes](std::size_t size) {
        bytes.resize(size);
        return bytes.data();
    });
}

DocxParts FindDocxParts(const DocxEntryReader& read) {
    DocxParts parts;
    auto relationshipsIn = [&](const std::string& relsName,
                               std::vector<Relationship>& relationships) {
        std::string bytes;
        const DocxEntry entry = ReadDocxEntry(read, relsName, bytes);
        if (entry.status == DocxEntryStatus::Missing) {
            return true;
        }
        if (entry.status == DocxEntryStatus::Failed || !ParseRelationships(bytes, relationships)) {
            parts.reason = relsName + ": " + (entry.reason.empty() ? "not readable" : entry.reason);
            return false;
        }
        return true;
    };

    std::vector<Relationship> root;
    if (!relationshipsIn("_rels/.rels", root)) {
        return parts;
    }
    const auto main = std::find_if(root.begin(), root.end(), [](const Relationship& r) {
        return r.type == "officeDocument" && !r.external;
    });
    const std::string mainName =
        main == root.end() ? std::string() : ResolveTarget("", main->target);
    if (mainName.empty()) {
        parts.reason = "no main document part";
        return parts;
    }
    parts.names.push_back(mainName);

    std::vector<Relationship> fromMain;
    if (!relationshipsIn(RelationshipsOf(mainName), fromMain)) {
        return parts;
    }
    for (const Relationship& relationship : fromMain) {
        if (!relationship.external && relationship.type == "styles") {
            parts.styles = ResolveTarget(FolderOf(mainName), relationship.target);
        }
        if (relationship.external ||
            (relationship.type != "header" && relationship.type != "footer" &&
             relationship.type != "footnotes" && relationship.type != "endnotes")) {
            continue;
        }
        const std::string name = ResolveTarget(FolderOf(mainName), relationship.target);
        if (!name.empty() &&
            std::find(parts.names.begin(), parts.names.end(), name) == parts.names.end()) {
            parts.names.push_back(name);
        }
    }
    parts.found = true;
    return parts;
}

DocxTransposition TransposeDocxParts(const DocxEntryReader& read, const NoteTable& notes,
                                     const TransposeSettings& settings) {
    DocxTransposition result;
    LoadedParts loaded = LoadParts(read);
    if (!loaded.loaded) {
        result.reason = loaded.reason;
        return result;
    }
    result.readable = true;
    DocxLines lines(loaded.parts, loaded.styles);
    result.textsChanged = TransposeLines(lines, notes, settings);
    for (std::size_t i = 0; i < loaded.parts.size(); ++i) {
        if (!loaded.parts[i].newTexts.empty()) {
            result.replaced.emplace_back(loaded.names[i], RewriteDocxPart(loaded.parts[i]));
        }
    }
    return result;
}

bool ReadDocxParagraphs(const DocxEntryReader& read, std::vector<std::u16string>& paragraphs,
                        std::string& reason) {
    const LoadedParts loaded = LoadParts(read);
    if (!loaded.loaded) {
        reason = loaded.reason;
        return false;
    }
    for (const DocxPart& part : loaded.parts) {
        for (std::size_t p = 0; p < part.ParagraphCount(); ++p) {
            paragraphs.push_back(DocxParagraphText(part, p));
        }
    }
    return true;
}

}  // namespace melvane
