"""The benchmarks' output: markdown ready to paste into the README, with the circumstances of the
measurement, since times from a shared machine mean little without them."""
import os


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "|".join("---" for _ in header) + "|"]
    lines += ["| " + " | ".join(row) + " |" for row in rows]
    return "\n".join(lines)


def circumstances(started):
    """When and on what: the start time (UTC), the cores, and the load average at the end (other
    work on the machine stretches wall times, not CPU times)."""
    return (f"measured {started:%Y-%m-%d %H:%M} UTC on {os.cpu_count()} cores, load average "
            f"{os.getloadavg()[0]:.1f} at the end")
