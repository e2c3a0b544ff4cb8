#include "serial/open_hint.h"

#include "serial/posix/open_failure.h"

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>

namespace comm {

std::string OpenFailureText(int err, const std::string& path, const std::string& group)
{
    if (err == EBUSY)
        return "The port is in use: another program holds it. Close that program, or choose "
               "another port.";
    if (err == ENOENT || err == ENODEV || err == ENXIO)
        return "No such port: " + path
            + " is not there now (an adapter unplugged, or a name mistyped: the port box lists "
              "those there are).";
    if (err != EACCES && err != EPERM)
        return {};
    const std::string owner = group.empty() ? "dialout" : group;
    return "You may not use " + path + ": it belongs to the group " + owner
        + ", and your user is not in it. Add yourself with  sudo usermod -aG " + owner
        + " $USER  then log out and in again.";
}

std::string OpenFailureHint()
{
    struct stat st
    {
    };
    std::string owner;
    if (stat(LastOpenPath().c_str(), &st) == 0)
        if (const ::group* g = getgrgid(st.st_gid))
            owner = g->gr_name;
    return OpenFailureText(LastOpenErrno(), LastOpenPath(), owner);
}

} // namespace comm
