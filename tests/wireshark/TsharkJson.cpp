#include "TsharkJson.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace wireshark_test
{

namespace
{

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void Collect(const nlohmann::json& node, const std::string& name, std::vector<std::string>& out)
{
    if (node.is_object())
    {
        for (auto it = node.begin(); it != node.end(); ++it)
        {
            if (it.key() == name)
            {
                if (it.value().is_string())
                    out.push_back(it.value().get<std::string>());
                else if (it.value().is_array())
                    for (const nlohmann::json& item : it.value())
                        if (item.is_string())
                            out.push_back(item.get<std::string>());
            }
            Collect(it.value(), name, out);
        }
    }
    else if (node.is_array())
    {
        for (const nlohmann::json& item : node)
            Collect(item, name, out);
    }
}

} // namespace

std::string FindProgram(const std::string& name)
{
    for (const char* folder : {"/usr/bin", "/usr/local/bin", "/usr/sbin", "/bin"})
    {
        const std::string path = std::string(folder) + "/" + name;
        if (access(path.c_str(), X_OK) == 0)
            return path;
    }
    return "";
}

VDecoded Decode(const std::string& tshark, const std::string& capture, const std::string& extra)
{
    VDecoded decoded;
    const std::string out = capture + ".json";
    const std::string err = capture + ".err";
    const std::string command = tshark + " -n -r '" + capture + "' -X lua_script:'" +
                                TSM_DISSECTOR + "' -T json --no-duplicate-keys " + extra + " > '" +
                                out + "' 2> '" + err + "'";
    const int status = std::system(command.c_str());
    decoded.Ran = status != -1;
    decoded.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    decoded.Errors = ReadFile(err);
    const nlohmann::json packets = nlohmann::json::parse(ReadFile(out), nullptr, false);
    if (packets.is_array())
        for (const nlohmann::json& packet : packets)
            decoded.Layers.push_back(packet["_source"]["layers"]);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return decoded;
}

std::vector<std::string> Values(const nlohmann::json& node, const std::string& name)
{
    std::vector<std::string> values;
    Collect(node, name, values);
    return values;
}

std::string Value(const nlohmann::json& node, const std::string& name)
{
    const std::vector<std::string> values = Values(node, name);
    return values.empty() ? std::string() : values.front();
}

} // namespace wireshark_test
