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
std::string includedFile(const std::string &line)
{
    std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || line[at] != '#')
        return {};
    at = line.find_first_not_of(" \t", at + 1);
    if (at == std::string::npos || line.compare(at, 7, "include") != 0)
        return {};
    at = line.find_first_not_of(" \t", at + 7);
    const std::size_t end = line.find_first_of("\">", at + 1);
    if (at == std::string::npos || (line[at] != '"' && line[at] != '<') || end == std::string::npos)
        return {};
    return line.substr(at + 1, end - at - 1);
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
    std::string line;
    for (std::size_t number = 1; !folder.empty() && std::getline(in, line); ++number) {
        const std::string included = includedFile(line);
        std::error_code ec;
        fs::path target = file.parent_path() / included;
        if (!fs::exists(target, ec))
            target = root / included;
        const std::string targetFolder = folderOf(root, target);
        if (!included.empty() && !targetFolder.empty() && targetFolder != folder
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
    static constexpr std::string_view prefix = "verbodrom_";
    std::ifstream in(file);
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        std::vector<std::string> layers; // the linking one first
        for (std::size_t at = line.find(prefix); at != std::string::npos;
             at = line.find(prefix, at)) {
            at += prefix.size();
            layers.push_back(line.substr(at, line.find_first_of(" :;>\t", at) - at));
        }
        for (std::size_t i = 1; line.starts_with(prefix) && i < layers.size(); ++i) {
            if (layerOf(layers[i]) <= layerOf(layers[0]))
                upward.push_back(file.filename().string() + ':' + std::to_string(number) + ": "
                                 + layers[0] + " links verbodrom_" + layers[i]
                                 + ", which is not on a lower layer");
        }
    }
    return bool(in) || in.eof();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2 && argc != 3) {
        std::cerr << "usage: layercheck <src folder> [<links file>]\n";
        return kExitUsage;
    }
    static const std::array<std::string_view, 7> sources
            = {".h", ".hpp", ".hh", ".cpp", ".cc", ".cxx", ".in"};
    std::error_code ec;
    const fs::path root = fs::weakly_canonical(argv[1], ec);
    std::vector<std::string> upward;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(root, ec)) {
        if (entry.is_regular_file()
            && std::find(sources.begin(), sources.end(), entry.path().extension().string())
                       != sources.end())
            checkIncludes(root, entry.path(), upward);
    }
    const char *unread = ec                                          ? argv[1]
                         : argc == 3 && !checkLinks(argv[2], upward) ? argv[2]
                                                                     : nullptr;
    if (unread) {
        std::cerr << "layercheck: cannot read " << unread << "\n";
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
