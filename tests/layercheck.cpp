// Checks the include direction between the folders under a source root,
// and the links between their libraries.
//
//   layercheck <src folder> [<links file>]
//
// The links file has one line per layer library, "verbodrom_<layer>: " and
// the libraries it links, separated by ";" (as CMake's LINK_LIBRARIES lists
// them); each verbodrom_<layer> it names must be a lower layer.
//
// Each folder under the root is a layer; a file may include headers of its
// own folder and of the folders below it, never of its own layer's
// neighbours or of a layer above, without exception. A folder missing from
// the list below is a new top-level part (a command-line tool, say) and sits
// at the top beside program.
//
// Prints one line "file:line: ..." per upward include or link and exits 1
// when there is any, 0 when there is none, 2 when the root or the links file
// cannot be read.

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
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

// 0 for the top layer, growing downwards; folders not in the list share the
// top layer.
std::size_t layerOf(const std::string &folder)
{
    const auto it = std::find(kLayers.begin(), kLayers.end(), folder);
    return it == kLayers.end() ? 0 : std::size_t(it - kLayers.begin());
}

// The file named by an #include line ("..." or <...>), or nothing.
std::optional<std::string> includedFile(std::string_view line)
{
    const auto skipBlanks = [&line] {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
    };
    skipBlanks();
    if (!line.starts_with('#'))
        return std::nullopt;
    line.remove_prefix(1);
    skipBlanks();
    if (!line.starts_with("include"))
        return std::nullopt;
    line.remove_prefix(7);
    skipBlanks();
    if (line.empty() || (line.front() != '"' && line.front() != '<'))
        return std::nullopt;
    const char close = line.front() == '"' ? '"' : '>';
    const std::size_t end = line.find(close, 1);
    if (end == std::string_view::npos || end == 1)
        return std::nullopt;
    return std::string(line.substr(1, end - 1));
}

bool isSource(const fs::path &path)
{
    static const std::array<std::string_view, 7> extensions
            = {".h", ".hpp", ".hh", ".cpp", ".cc", ".cxx", ".in"};
    const std::string ext = path.extension().string();
    return std::find(extensions.begin(), extensions.end(), ext) != extensions.end();
}

// The included file as a path relative to the root, or nothing when it lies
// outside the root or directly in it. A path that exists beside the
// including file is taken from there, as the compiler does for "...".
std::optional<fs::path> resolve(const fs::path &root, const fs::path &includer,
                                const std::string &included)
{
    std::error_code ec;
    fs::path target = (includer.parent_path() / included).lexically_normal();
    if (!fs::exists(target, ec))
        target = (root / included).lexically_normal();
    const fs::path relative = target.lexically_relative(root);
    if (relative.empty() || *relative.begin() == ".."
        || std::distance(relative.begin(), relative.end()) < 2)
        return std::nullopt;
    if (!fs::is_directory(root / *relative.begin(), ec))
        return std::nullopt;
    return relative;
}

// One line per upward link in the links file; nothing when it could not be
// read (then `readable` is false).
std::vector<std::string> upwardLinks(const fs::path &file, bool &readable)
{
    static constexpr std::string_view prefix = "verbodrom_";
    std::vector<std::string> upward;
    std::ifstream in(file);
    readable = bool(in);
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        const std::size_t colon = line.find(':');
        if (!line.starts_with(prefix) || colon == std::string::npos)
            continue;
        const std::string layer = line.substr(prefix.size(), colon - prefix.size());
        std::string_view links = std::string_view(line).substr(colon + 1);
        while (!links.empty()) {
            const std::size_t semicolon = links.find(';');
            std::string_view link = links.substr(0, semicolon);
            links = semicolon == std::string_view::npos ? "" : links.substr(semicolon + 1);
            while (link.starts_with(' '))
                link.remove_prefix(1);
            if (!link.starts_with(prefix))
                continue;
            const std::string target(link.substr(prefix.size()));
            if (layerOf(target) <= layerOf(layer))
                upward.push_back(file.filename().string() + ':' + std::to_string(number) + ": "
                                 + layer + " links " + std::string(link)
                                 + ", which is not on a lower layer");
        }
    }
    return upward;
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

    std::size_t files = 0;
    std::size_t includes = 0;
    std::vector<std::string> upward;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(root, ec)) {
        if (!entry.is_regular_file() || !isSource(entry.path()))
            continue;
        const fs::path relative = entry.path().lexically_relative(root);
        if (std::distance(relative.begin(), relative.end()) < 2)
            continue; // directly in the root: no layer
        const std::string folder = relative.begin()->string();
        ++files;

        std::ifstream in(entry.path());
        std::string line;
        for (std::size_t number = 1; std::getline(in, line); ++number) {
            const std::optional<std::string> included = includedFile(line);
            if (!included)
                continue;
            const std::optional<fs::path> target = resolve(root, entry.path(), *included);
            if (!target)
                continue;
            ++includes;
            const std::string targetFolder = target->begin()->string();
            if (targetFolder == folder)
                continue;
            if (layerOf(targetFolder) > layerOf(folder))
                continue; // a lower layer
            upward.push_back(relative.generic_string() + ':' + std::to_string(number) + ": "
                             + folder + " includes " + target->generic_string()
                             + ", which is not on a lower layer");
        }
    }
    if (ec) {
        std::cerr << "layercheck: " << ec.message() << "\n";
        return kExitUsage;
    }

    if (argc == 3) {
        bool readable = false;
        const std::vector<std::string> links = upwardLinks(argv[2], readable);
        if (!readable) {
            std::cerr << "layercheck: cannot read " << argv[2] << "\n";
            return kExitUsage;
        }
        upward.insert(upward.end(), links.begin(), links.end());
    }

    std::sort(upward.begin(), upward.end());
    for (const std::string &line : upward)
        std::cout << line << '\n';
    std::cout << files << " files, " << includes << " project includes, " << upward.size()
              << " upward (layers, top to bottom: ";
    for (std::size_t i = 0; i < kLayers.size(); ++i)
        std::cout << (i ? ", " : "") << kLayers[i];
    std::cout << "; any other folder sits at the top)\n";
    return upward.empty() ? kExitClean : kExitUpward;
}
