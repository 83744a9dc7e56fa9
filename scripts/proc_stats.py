"""What /proc tells about a process and the machine, for the measuring
scripts (soak.sh, perf-report.sh)."""

import os


def load():
    """The one-minute load average, as the kernel writes it."""
    with open("/proc/loadavg") as f:
        return f.read().split()[0]


def memory_kib(pid):
    """VmRSS, RssAnon, RssFile and VmHWM of a process, in KiB."""
    values = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("VmRSS", "RssAnon", "RssFile", "VmHWM"):
                values[key] = int(rest.split()[0])
    return values


def cpu_seconds(pid):
    """User + system time of a process (all its threads), or None when it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            data = f.read()
    except OSError:
        return None
    fields = data[data.rfind(")") + 2:].split(" ")
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def write_bytes(pid, tid=None):
    """Bytes a process (or one of its threads) caused to be written to storage:
    counted when a page of the page cache first turns dirty, so a page
    rewritten before it reaches the disk counts once. None when it is gone."""
    path = "/proc/%d/io" % pid if tid is None else "/proc/%d/task/%d/io" % (pid, tid)
    try:
        with open(path) as f:
            for line in f:
                if line.startswith("write_bytes:"):
                    return int(line.split()[1])
    except OSError:
        return None
    return None
