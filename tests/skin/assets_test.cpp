// The files behind the layouts: every picture a layout or the program names is
// on disk and readable, the pictures the program stretches have the shape of
// the control they fill, the language files agree with each other and hold
// every text the windows show, and the skin stays small and font-free.

#include <json/json.h>

#include <array>
#include <fstream>
#include <map>
#include <set>

#include "app/message_texts.h"
#include "profiles/profile_panel.h"
#include "profiles/shoot_panel.h"
#include "tests/skin/skin_fixture.h"
#include "ui/widgets/image_string.h"
#include "ui/widgets/resource_manager.h"

namespace q731::skintest {
namespace {

namespace fs = std::filesystem;

std::uint32_t Crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::uint32_t BigEndian32(const std::string& bytes, std::size_t at) {
    return std::uint32_t(static_cast<unsigned char>(bytes[at])) << 24 |
           std::uint32_t(static_cast<unsigned char>(bytes[at + 1])) << 16 |
           std::uint32_t(static_cast<unsigned char>(bytes[at + 2])) << 8 |
           std::uint32_t(static_cast<unsigned char>(bytes[at + 3]));
}

// The pixel size of a PNG file whose header is whole and checksummed, or nullopt.
std::optional<UiSize> PngSize(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string head(33, '\0');
    if (!in.read(head.data(), 33)) return std::nullopt;
    if (head.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return std::nullopt;
    if (BigEndian32(head, 8) != 13 || head.compare(12, 4, "IHDR") != 0) return std::nullopt;
    if (Crc32(head.substr(12, 17)) != BigEndian32(head, 29)) return std::nullopt;
    return UiSize{int(BigEndian32(head, 16)), int(BigEndian32(head, 20))};
}

// Whether a w x h picture stretched over a cx x cy control keeps its proportions.
bool SameShape(UiSize picture, int cx, int cy) {
    return std::abs(picture.cx * cy - picture.cy * cx) <= cx;  // within a pixel
}

fs::path ImageFile(std::string_view imageString) {
    auto info = ParseImageString(imageString);
    EXPECT_TRUE(info.has_value()) << imageString;
    if (!info) return {};
    std::string path = CPaintManagerUI::ResolveImagePath(info->sImageName);
    EXPECT_FALSE(path.empty()) << imageString << " climbs out of the skin";
    return path;
}

void ExpectReadableImage(const fs::path& file, const std::string& where) {
    ASSERT_TRUE(fs::is_regular_file(file)) << where << ": " << file;
    if (file.extension() == ".png") {
        EXPECT_TRUE(PngSize(file)) << where << ": broken PNG " << file;
    } else if (file.extension() == ".svg") {
        auto text = ReadSkinFile(file.string());
        ASSERT_TRUE(text);
        auto doc = ParseXml(*text);
        ASSERT_TRUE(doc) << where << ": broken SVG " << file;
        EXPECT_EQ(doc->name, "svg") << file;
        EXPECT_TRUE(doc->Attribute("width") && doc->Attribute("height"))
            << file << " needs a size to be drawn at scale";
    } else {
        ADD_FAILURE() << where << ": pictures are PNG or SVG: " << file;
    }
}

TEST_F(SkinTest, EveryPictureALayoutNamesIsOnDisk) {
    for (const std::string& file : kLayouts) {
        ForEachElement(LoadSkinXml(file), [&](const XmlElement& element) {
            for (const auto& [key, value] : element.attributes) {
                std::string name = ToLower(key);
                if (value.empty() || name.size() < 5 || name.substr(name.size() - 5) != "image")
                    continue;
                ExpectReadableImage(ImageFile(value), file + " " + key);
            }
        });
    }
}

TEST_F(SkinTest, DeviceTabFacesExistForEveryKindAndFitTheTab) {
    for (const char* stem : {"kb_device", "ms_device", "hard_mp_device", "soft_mp_device",
                             "hd_device", "hub_device", "unknow_device"}) {
        for (const char* state : {"_normal", "_selected", "_synchro_normal", "_synchro_selected"}) {
            fs::path file = kSkinDir / "common/device_ico" / (std::string(stem) + state + ".png");
            auto size = PngSize(file);
            ASSERT_TRUE(size) << file;
            EXPECT_TRUE(SameShape(*size, 148, 52)) << file << " is stretched over the tab";
        }
    }
}

TEST_F(SkinTest, PowerPicturesTheProgramNamesExistAndFitTheirControls) {
    for (const char* image : {"file='power/powered.png'", "file='power/wuxian_powering.png'",
                              "file='power/powering.png'", "file='power/power.png'"}) {
        auto size = PngSize(ImageFile(image));
        ASSERT_TRUE(size) << image;
        EXPECT_TRUE(SameShape(*size, 56, 20)) << image;
    }
    for (const char* image :
         {"file='power/Phone_type_iphone.png'", "file='power/Phone_type_samsung.png'",
          "file='power/Phone_type_other.png'", "file='power/Phone_type_no_device.png'"}) {
        auto size = PngSize(ImageFile(image));
        ASSERT_TRUE(size) << image;
        EXPECT_TRUE(SameShape(*size, 24, 40)) << image;
    }
    // The controls those pictures are stretched over have those sizes.
    XmlElement panel = LoadSkinXml("XML/CustomControlXML/MpDevicePower.xml");
    std::map<std::string, std::pair<std::string, std::string>> sizes;
    ForEachElement(panel, [&](const XmlElement& e) {
        const std::string* name = e.Attribute("name");
        const std::string* w = e.Attribute("width");
        const std::string* h = e.Attribute("height");
        if (name && w && h) sizes[*name] = {*w, *h};
    });
    EXPECT_EQ(sizes["device_power_picture"], (std::pair<std::string, std::string>{"56", "20"}));
    EXPECT_EQ(sizes["device_phone_type"], (std::pair<std::string, std::string>{"24", "40"}));
}

TEST_F(SkinTest, ResourceIndexNamesTheMainLayoutAndASquareIcon) {
    auto& resources = CResourceManager::GetInstance();
    EXPECT_EQ(resources.GetResourceFile("XML_MAIN"), std::optional<std::string>("main.xml"));
    for (int id : {107, 128}) {
        std::string icon = IconFileForResource(id);
        ASSERT_FALSE(icon.empty()) << id;
        auto size = PngSize(icon);
        ASSERT_TRUE(size) << icon;
        EXPECT_EQ(size->cx, size->cy);
        EXPECT_GE(size->cx, 64) << "the tray and task switcher scale it down, not up";
    }
    XmlElement index = LoadSkinXml("res.xml");
    for (const XmlElement& item : index.children) {
        const std::string* file = item.Attribute("file");
        ASSERT_TRUE(file);
        EXPECT_TRUE(fs::is_regular_file(kSkinDir / *file)) << *file;
    }
}

std::map<std::string, std::string> LanguageTexts(const std::string& file) {
    std::map<std::string, std::string> texts;
    for (const XmlElement& item : LoadSkinXml(file).children) {
        const std::string* id = item.Attribute("id");
        const std::string* value = item.Attribute("value");
        EXPECT_TRUE(EqualsNoCase(item.name, "Text") && id && value) << file << ": " << item.name;
        if (!id || !value) continue;
        EXPECT_TRUE(texts.emplace(*id, *value).second) << file << ": " << *id << " twice";
        EXPECT_FALSE(value->empty()) << file << ": " << *id;
    }
    return texts;
}

// "%s", "%d", ... in the order they appear ("%%" is a plain percent sign).
std::vector<std::string> Placeholders(const std::string& text) {
    std::vector<std::string> found;
    for (std::size_t at = text.find('%'); at != std::string::npos && at + 1 < text.size();
         at = text.find('%', at + 2)) {
        if (text[at + 1] != '%') found.push_back(text.substr(at, 2));
    }
    return found;
}

TEST_F(SkinTest, LanguageFilesDefineTheSameTexts) {
    auto chinese = LanguageTexts("lan_cn.xml");
    auto english = LanguageTexts("lan_en.xml");
    std::set<std::string> chineseIds, englishIds;
    for (const auto& [id, value] : chinese)
        chineseIds.insert(id);
    for (const auto& [id, value] : english)
        englishIds.insert(id);
    EXPECT_EQ(chineseIds, englishIds);
    // The program fills placeholders by position: each language needs the same ones.
    for (const auto& [id, value] : chinese) {
        if (english.count(id)) {
            EXPECT_EQ(Placeholders(value), Placeholders(english[id])) << id;
        }
    }
    EXPECT_NE(chinese["deng_Op_tab_text"], english["deng_Op_tab_text"])
        << "both files say one thing";
    for (const std::string& file : kLanguageFiles)
        EXPECT_TRUE(CResourceManager::GetInstance().LoadLanguage(file)) << file;
}

TEST_F(SkinTest, EveryTextTheWindowsShowIsInEveryLanguage) {
    std::set<std::string> needed = {// set by the program at run time
                                    "kb_device_name_text",
                                    "ms_device_name_text",
                                    "hard_mp_device_name_text",
                                    "soft_mp_device_name_text",
                                    "hd_device_name_text",
                                    "hub_device_name_text",
                                    "unknow_device_name_text",
                                    "software_rev_text",
                                    "控制灯光",
                                    "不控制灯光",
                                    "Phone_type_iphone",
                                    "Phone_type_samsung",
                                    "Phone_type_other",
                                    "Phone_type_no_device"};
    // Every layout of the skin, those only the program opens included.
    for (const auto& entry : fs::recursive_directory_iterator(kSkinDir)) {
        const std::string file = fs::relative(entry.path(), kSkinDir).generic_string();
        if (entry.path().extension() != ".xml" || file.starts_with("lan_") ||
            file.starts_with("gallery/") || file == "res.xml")
            continue;
        ForEachElement(LoadSkinXml(file), [&](const XmlElement& element) {
            const std::string* resource = element.Attribute("resourcetext");
            if (!resource || !ParseBool(*resource)) return;
            for (const char* attr : {"text", "tooltip", "tooltiptitle", "tipvalue"}) {
                if (const std::string* id = element.Attribute(attr); id && !id->empty())
                    needed.insert(*id);
            }
        });
    }
    for (const std::string& file : kLanguageFiles) {
        auto texts = LanguageTexts(file);
        for (const std::string& id : needed)
            EXPECT_TRUE(texts.count(id)) << file << " lacks " << id;
    }
}

// The tables of the texts each library hands to the message box.
TEST_F(SkinTest, EveryMessageTheProgramShowsIsInEveryLanguage) {
    std::vector<std::string_view> ids(kAppMessageTexts.begin(), kAppMessageTexts.end());
    ids.insert(ids.end(), kProfileMessageTexts.begin(), kProfileMessageTexts.end());
    ids.insert(ids.end(), kShootMessageTexts.begin(), kShootMessageTexts.end());
    for (const std::string& file : kLanguageFiles) {
        auto texts = LanguageTexts(file);
        for (std::string_view id : ids) {
            auto it = texts.find(std::string(id));
            EXPECT_TRUE(it != texts.end() && !it->second.empty()) << file << " lacks " << id;
        }
    }
}

TEST_F(SkinTest, LanguageTableNamesShippedFilesAndKnownTexts) {
    std::ifstream in(kDefaultDataDir / "Language.config");
    ASSERT_TRUE(in);
    Json::Value doc;
    Json::CharReaderBuilder reader;
    std::string errors;
    ASSERT_TRUE(Json::parseFromStream(reader, in, &doc, &errors)) << errors;
    const Json::Value& list = doc["Language"];
    ASSERT_TRUE(list.isArray());
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(list[0]["Language_file"].asString(), "lan_cn.xml")
        << "index 0 is the language used when none is stored";
    std::set<int> ids;
    for (const Json::Value& row : list) {
        ASSERT_TRUE(row["Language_name"].isString() && row["Language_file"].isString() &&
                    row["Language_ID"].isInt() && row["Language_text"].isString());
        EXPECT_TRUE(ids.insert(row["Language_ID"].asInt()).second) << "ids pick one row";
        std::string file = row["Language_file"].asString();
        EXPECT_TRUE(fs::is_regular_file(kSkinDir / file)) << file;
        for (const std::string& lan : kLanguageFiles)
            EXPECT_TRUE(LanguageTexts(lan).count(row["Language_text"].asString())) << lan;
    }
}

TEST_F(SkinTest, SkinStaysSmallAndShipsNoFonts) {
    std::uintmax_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kSkinDir)) {
        if (!entry.is_regular_file()) continue;
        total += entry.file_size();
        std::string ext = ToLower(entry.path().extension().string());
        EXPECT_TRUE(ext != ".ttf" && ext != ".otf" && ext != ".ttc") << entry.path();
    }
    EXPECT_LT(total, 2u * 1024 * 1024);
}

}  // namespace
}  // namespace q731::skintest
