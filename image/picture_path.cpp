// The path rule as text, the same on every platform.
#include "picture_path.h"

namespace {

bool IsCp932LeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool IsSlash(char c) { return c == '\\' || c == '/'; }

bool IsLetter(char c)
{
    const char lower = static_cast<char>(c | 0x20);
    return lower >= 'a' && lower <= 'z';
}

bool HasDrive(const std::string& path) { return path.size() > 1 && IsLetter(path[0]) && path[1] == ':'; }

bool SameDrive(char a, char b) { return (a | 0x20) == (b | 0x20); }

// Where the last part of a path starts: after its last separator or drive colon.
size_t NamePartStart(const std::string& path)
{
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsCp932LeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size())
            ++i;
        else if (IsSlash(path[i]) || (i == 1 && HasDrive(path)))
            start = i + 1;
    }
    return start;
}

std::string Joined(const std::string& folder, const std::string& name)
{
    if (folder.empty() || name.empty())
        return folder + name;
    return NamePartStart(folder) == folder.size() ? folder + name : folder + '\\' + name;
}

// "X:" or "\\server\share": what a name from the root starts from.
std::string Root(const std::string& full)
{
    if (!(full.size() > 1 && IsSlash(full[0]) && IsSlash(full[1])))
        return full.substr(0, HasDrive(full) ? 2 : 0);
    size_t end = full.find_first_of("\\/", 2);
    end = end == std::string::npos ? end : full.find_first_of("\\/", end + 1);
    return full.substr(0, end);
}

}  // namespace

std::string PicturePathText(const std::string& folder, const std::string& name)
{
    if (name.size() > 1 && IsSlash(name[0]) && IsSlash(name[1]))
        return name;
    if (!name.empty() && IsSlash(name[0]))
        return Root(folder) + name;
    if (!HasDrive(name))
        return Joined(folder, name);
    if (name.size() > 2 && IsSlash(name[2]))
        return name;
    if (HasDrive(folder) && SameDrive(folder[0], name[0]))
        return Joined(folder, name.substr(2));
    return name;
}

std::string PictureNamePart(const std::string& name)
{
    return name.substr(NamePartStart(name));
}
