// Fills the vault in the working directory (set up beforehand with `corvix-cli init`) with
// synthetic accounts, all in one category so that renaming it moves every one, and writes
// the same accounts as a KeePass XML file for the peer tool when asked.
//   make_scale_vault COUNT CATEGORY [peer.xml]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/list_export.h"
#include "platform/storage/table.h"
#include "vault/access.h"
#include "vault/tables.h"

using namespace corvix;

namespace {

void fill(vault::PasRecord& r, long i, const std::string& category) {
    char text[160];
    r = vault::PasRecord{};
    r.PAS_ID = static_cast<int32_t>(i);
    r.Category = category;
    std::snprintf(text, sizeof text, "Account %06ld at service %ld", i, (i * 7919) % 100003);
    r.Description = text;
    std::snprintf(text, sizeof text, "user%ld@example.org", i);
    r.Name = text;
    std::snprintf(text, sizeof text, "pw-%08lx-%05ld-Zq!", (i * 2654435761UL) & 0xffffffffUL, i);
    r.Password = text;
    std::snprintf(text, sizeof text, "https://service%ld.example.org/login", i % 5000);
    r.URL = text;
    r.TargetWindow = "Login - Chromium";
    r.Action = "[Name][Tab][Password][Enter]";
    r.LastChange = 80000;
    r.Wait = 2;
    std::snprintf(text, sizeof text, "note for account %ld", i);
    r.Notes = text;
}

int ensureCategory(const std::string& name) {
    storage::Table cat(vault::CVCAT());
    if (int rc = vault::openTable(cat)) return rc;
    if (vault::categoryExists(cat, name)) return 0;
    vault::CatBuffer c;
    c->Category = name;
    return cat.add(c);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_scale_vault COUNT CATEGORY [peer.xml]\n");
        return 2;
    }
    const long count = std::atol(argv[1]);
    const std::string category = argv[2];
    if (int rc = ensureCategory(category)) {
        std::fprintf(stderr, "make_scale_vault: categories: error %d\n", rc);
        return 1;
    }
    // Deny-all open: append() loads in bulk and buildKeys() makes the indexes once.
    storage::Table pas(vault::CVPAS());
    if (int rc = vault::openTable(pas, storage::kReadWrite | storage::kDenyAll)) {
        std::fprintf(stderr, "make_scale_vault: accounts: error %d\n", rc);
        return 1;
    }
    // One write transaction for the whole load.
    if (int rc = pas.stream()) {
        std::fprintf(stderr, "make_scale_vault: stream: error %d\n", rc);
        return 1;
    }
    vault::PasBuffer buffer;
    for (long i = 1; i <= count; ++i) {
        fill(buffer.record(), i, category);
        if (int rc = pas.append(buffer)) {
            std::fprintf(stderr, "make_scale_vault: append %ld: error %d\n", i, rc);
            return 1;
        }
    }
    if (int rc = pas.flush()) {
        std::fprintf(stderr, "make_scale_vault: flush: error %d\n", rc);
        return 1;
    }
    if (int rc = pas.buildKeys()) {
        std::fprintf(stderr, "make_scale_vault: keys: error %d\n", rc);
        return 1;
    }
    pas.close();

    if (argc < 4) return 0;
    std::FILE* xml = std::fopen(argv[3], "w");
    if (!xml) return 1;
    std::fputs(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<KeePassFile><Meta>"
        "<Generator>make_scale_vault</Generator></Meta><Root><Group>"
        "<UUID>AAAAAAAAAAAAAAAAAAAAAA==</UUID><Name>Root</Name>\n",
        xml);
    vault::PasRecord r;
    for (long i = 1; i <= count; ++i) {
        fill(r, i, category);
        std::fprintf(
            xml,
            "<Entry><UUID>%s</UUID>"
            "<String><Key>Title</Key><Value>%s</Value></String>"
            "<String><Key>UserName</Key><Value>%s</Value></String>"
            "<String><Key>Password</Key><Value>%s</Value></String>"
            "<String><Key>URL</Key><Value>%s</Value></String>"
            "<String><Key>Notes</Key><Value>%s</Value></String>"
            "<AutoType><DefaultSequence>{USERNAME}{TAB}{PASSWORD}{ENTER}"
            "</DefaultSequence></AutoType></Entry>\n",
            [&] {
                // 16 bytes, base64: a fixed prefix and the number.
                static char uuid[32];
                static const char* b64 =
                    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
                std::string u = "AAAAAAAAAAAAAAAA";
                unsigned long n = static_cast<unsigned long>(i);
                for (int k = 15; k >= 10; --k, n >>= 6) u[k] = b64[n & 63];
                std::snprintf(uuid, sizeof uuid, "%sAAAAAA==", u.c_str());
                return uuid;
            }(),
            framework::htmlEscape(r.Description).c_str(), framework::htmlEscape(r.Name).c_str(),
            framework::htmlEscape(r.Password).c_str(), framework::htmlEscape(r.URL).c_str(),
            framework::htmlEscape(r.Notes).c_str());
    }
    std::fputs("</Group></Root></KeePassFile>\n", xml);
    return std::fclose(xml) == 0 ? 0 : 1;
}
