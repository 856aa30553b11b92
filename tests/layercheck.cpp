// layercheck <src folder> [<links file>]: folders under the root are layers
// (kLayers; others sit at the top); a file includes only its own and lower
// ones, and a "verbodrom_<layer>: " line links only lower libraries. Prints
// each upward one; exits 1 if any, 0 if none, 2 when input cannot be read.

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Top to bottom.
constexpr std::array<std::string_view, 6> kLayers
        = {"program", "update", "trainer", "downloader", "platform", "base"};

constexpr int kExitClean = 0;
constexpr int kExitUpward = 1;
constexpr int kExitUsage = 2;

// 0 for the top layer, growing downwards; other folders are at the top.
std::size_t layerOf(std::string_view folder)
{
    const auto it = std::find(kLayers.begin(), kLayers.end(), folder);
    return it == kLayers.end() ? 0 : std::size_t(it - kLayers.begin());
}

// The file named by an #include line ("..." or <...>), or "".
std::string includedFile(std::string_view line)
{
    const auto skipBlanks = [&line] {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
    };
    skipBlanks();
    if (!line.starts_with('#'))
        return {};
    line.remove_prefix(1);
    skipBlanks();
    if (!line.starts_with("include"))
        return {};
    line.remove_prefix(std::string_view("include").size());
    skipBlanks();
    const std::size_t end = line.find_first_of("\">", 1);
    if (!(line.starts_with('"') || line.starts_with('<')) || end == std::string_view::npos)
        return {};
    return std::string(line.substr(1, end - 1));
}

// The layer of each "verbodrom_<layer>" in text, in order.
std::vector<std::string> layerLibraries(std::string_view text)
{
    static constexpr std::string_view prefix = "verbodrom_";
    std::vector<std::string> layers;
    for (std::size_t at = text.find(prefix); at != std::string_view::npos;
         at = text.find(prefix, at)) {
        at += prefix.size();
        const std::size_t end = std::min(text.find_first_of(" :;>\t", at), text.size());
        layers.emplace_back(text.substr(at, end - at));
    }
    return layers;
}

// The folder under the root that holds path; "" outside it or directly in it.
std::string folderOf(const fs::path &root, const fs::path &path)
{
    const fs::path relative = path.lexically_normal().lexically_relative(root);
    std::error_code ec;
    if (relative.empty() || *relative.begin() == ".."
        || std::distance(relative.begin(), relative.end()) < 2
        || !fs::is_directory(root / *relative.begin(), ec))
        return {};
    return relative.begin()->string();
}

// Adds each upward include; "..." is looked up beside the file first.
void checkIncludes(const fs::path &root, const fs::path &file, std::vector<std::string> &upward)
{
    const std::string folder = folderOf(root, file);
    std::ifstream in(file);
    if (folder.empty())
        return; // directly in the root: no layer
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        const std::string included = includedFile(line);
        if (included.empty())
            continue;
        std::error_code ec;
        fs::path target = file.parent_path() / included;
        if (!fs::exists(target, ec))
            target = root / included;
        const std::string targetFolder = folderOf(root, target);
        if (!targetFolder.empty() && targetFolder != folder
            && layerOf(targetFolder) <= layerOf(folder))
            upward.push_back(file.lexically_relative(root).generic_string() + ':'
                             + std::to_string(number) + ": " + folder + " includes "
                             + target.lexically_normal().lexically_relative(root).generic_string()
                             + ", which is not on a lower layer");
    }
}

// Adds a line per upward link; false when the links file cannot be read.
bool checkLinks(const fs::path &file, std::vector<std::string> &upward)
{
    std::ifstream in(file);
    if (!in)
        return false;
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        const std::vector<std::string> layers = layerLibraries(line);
        if (!line.starts_with("verbodrom_") || layers.empty())
            continue;
        for (std::size_t i = 1; i < layers.size(); ++i) {
            if (layerOf(layers[i]) <= layerOf(layers[0]))
                upward.push_back(file.filename().string() + ':' + std::to_string(number) + ": "
                                 + layers[0] + " links verbodrom_" + layers[i]
                                 + ", which is not on a lower layer");
        }
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2 && argc != 3) {
        std::cerr << "usage: layercheck <src folder> [<links file>]\n";
        return kExitUsage;
    }
    std::error_code ec;
    const fs::path root = fs::weakly_canonical(argv[1], ec);
    if (ec || !fs::is_directory(root, ec)) {
        std::cerr << "layercheck: cannot read " << argv[1] << "\n";
        return kExitUsage;
    }
    static const std::array<std::string_view, 7> sources
            = {".h", ".hpp", ".hh", ".cpp", ".cc", ".cxx", ".in"};
    std::vector<std::string> upward;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(root, ec)) {
        if (entry.is_regular_file()
            && std::find(sources.begin(), sources.end(), entry.path().extension().string())
                       != sources.end())
            checkIncludes(root, entry.path(), upward);
    }
    if (ec) {
        std::cerr << "layercheck: " << ec.message() << "\n";
        return kExitUsage;
    }
    if (argc == 3 && !checkLinks(argv[2], upward)) {
        std::cerr << "layercheck: cannot read " << argv[2] << "\n";
        return kExitUsage;
    }

    std::sort(upward.begin(), upward.end());
    for (const std::string &line : upward)
        std::cout << line << '\n';
    std::cout << upward.size() << " upward (layers, top to bottom:";
    for (std::string_view layer : kLayers)
        std::cout << ' ' << layer;
    std::cout << "; any other folder sits at the top)\n";
    return upward.empty() ? kExitClean : kExitUpward;
}
