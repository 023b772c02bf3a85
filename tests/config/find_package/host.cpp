#include <pellicor/config.h>

#include <cstdio>

int main()
{
    const std::string root = "Host";
    std::string mail = "none";
    bool ok = !tvk::ORVAXMLConfigManager::getInstance()->getString("SupportEmail", mail, "Internet") && mail == "none";
    {
        tvk::XMLConfigManager store("host.xml", root);
        store.setString("Name", "Tom & Jerry", "Cartoons");
    }
    {
        std::string name;
        tvk::XMLConfigManager reread("host.xml", root);
        ok = ok && reread.getString("Name", name, "Cartoons") && name == "Tom & Jerry";
    }
    std::remove("host.xml");
    return ok ? 0 : 1;
}
