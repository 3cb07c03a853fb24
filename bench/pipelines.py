"""The conversions bench/compare times: ours and the three pipelines people use today, each from
the video to a GIF of the same size at 10 frames/s, each with its own palette per frame.

A pipeline is a list of steps (argv lists) run one after another in a scratch folder; the frames
the ImageMagick and gifski pipelines need are extracted by ffmpeg inside the timed pipeline, since
a user has to make them too. Each tool is found here once; a tool that is not installed leaves
its pipeline out (`available` is false) instead of failing the run.
"""
import dataclasses
import os
import shutil
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_CLI = os.path.join(ROOT, "build", "release", "cli", "vidorant-cli")
FFMPEG_QUIET = ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"]
# Debian 12's ImageMagick 6 under its own name: a machine may shadow "convert" on the PATH with a
# script of its own.
IMAGEMAGICK = "/usr/bin/convert-im6.q16"


@dataclasses.dataclass
class Pipeline:
    name: str
    available: bool
    # (video, width, height, scratch folder) -> (steps, path of the GIF they write)
    steps: object = None
    missing: str = ""  # why it is not available
    env: dict = None


def ffmpeg_frames(video, width, height, pattern):
    return FFMPEG_QUIET + ["-i", video, "-an", "-sn", "-vf", f"fps=10,scale={width}:{height}:flags=bicubic",
                           pattern]


def sorted_frames(folder, extension):
    """The frame files the extraction step will write, found when the next step starts: the
    step after extraction is built lazily because the file names are not known before."""
    return sorted(os.path.join(folder, name) for name in os.listdir(folder) if name.endswith(extension))


def vidorant(cli, threads):
    def steps(video, width, height, scratch):
        out = os.path.join(scratch, "out")
        argv = [cli, "-s", f"{width}x{height}", "-o", out]
        if threads:
            argv += ["--threads", str(threads)]
        stem = os.path.splitext(os.path.basename(video))[0]
        return [argv + ["--", video]], os.path.join(out, stem + ".gif")

    return steps


def imagemagick(video, width, height, scratch):
    gif = os.path.join(scratch, "imagemagick.gif")
    # -colors on a sequence quantises every frame to its own palette; -delay is in 1/100 s.
    convert = lambda: [IMAGEMAGICK, "-delay", "10", "-loop", "0", *sorted_frames(scratch, ".ppm"),
                       "-dither", "None", "-colors", "256", gif]
    return [ffmpeg_frames(video, width, height, os.path.join(scratch, "%05d.ppm")), convert], gif


def ffmpeg_palette(video, width, height, scratch):
    gif = os.path.join(scratch, "ffmpeg.gif")
    graph = (f"fps=10,scale={width}:{height}:flags=bicubic,split[a][b];"
             "[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1:dither=none")
    return [FFMPEG_QUIET + ["-i", video, "-an", "-sn", "-filter_complex", graph, gif]], gif


def gifski(binary):
    def steps(video, width, height, scratch):
        gif = os.path.join(scratch, "gifski.gif")
        encode = lambda: [binary, "--quiet", "--fps", "10", "--width", str(width), "--height", str(height),
                          "-o", gif, *sorted_frames(scratch, ".png")]
        return [ffmpeg_frames(video, width, height, os.path.join(scratch, "%05d.png")), encode], gif

    return steps


def decode_floor(video, width, height, scratch):
    """What any converter pays before it starts on colours: one thread decoding, resampling to
    10 frames/s and scaling to 24-bit pixels, written nowhere."""
    return [FFMPEG_QUIET + ["-threads", "1", "-i", video, "-vf", f"fps=10,scale={width}:{height}",
                            "-pix_fmt", "bgr24", "-f", "null", "-"]], None


def decode_on_all_cores(video, width, height, scratch):
    """Less than any converter that decodes the clip with FFmpeg can take on this machine: the
    video decoded on every core (FFmpeg's own thread count) and nothing else done with it. A
    tool's time over this one is the most it can be faster than any such converter here."""
    return [FFMPEG_QUIET + ["-i", video, "-an", "-sn", "-f", "null", "-"]], None


def vidorant_cli(requested, progress):
    """The absolute path of the vidorant-cli to time: the one asked for, else the Release build's,
    which is built first (one job, niced: the machine is shared) when it is missing. Raises
    OSError when there is no such program, CalledProcessError when the build fails."""
    if not requested and not os.access(DEFAULT_CLI, os.X_OK):
        build = os.path.join(ROOT, "build", "release")
        env = dict(os.environ, CCACHE_BASEDIR=ROOT, CCACHE_NOHASHDIR="true")
        progress(f"building {DEFAULT_CLI}")
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                        "-DVIDORANT_SANITIZE=OFF", "-DVIDORANT_TESTS=OFF"], check=True, env=env,
                       stdout=subprocess.DEVNULL)
        subprocess.run(["nice", "cmake", "--build", build, "-j1", "--target", "vidorant-cli"], check=True, env=env,
                       stdout=subprocess.DEVNULL)
    cli = os.path.abspath(requested or DEFAULT_CLI)
    if not os.access(cli, os.X_OK):
        raise OSError(f"{cli} is not an executable vidorant-cli")
    return cli


def cli_lists_threads(cli):
    """The thread option is passed only to a vidorant-cli whose usage text offers it."""
    try:
        usage = subprocess.run([cli, "--help"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               text=True, timeout=30).stdout
    except (OSError, subprocess.TimeoutExpired):
        return False
    return "--threads" in usage


def find_gifski(bench_folder):
    found = subprocess.run([os.path.join(bench_folder, "find-gifski")], stdout=subprocess.PIPE, text=True)
    return found.stdout.strip() if found.returncode == 0 else None


NO_FFMPEG = "ffmpeg is not installed"


def ours(cli, settings_home):
    threads = os.cpu_count() if cli_lists_threads(cli) else None
    # An empty settings folder: the user's own window settings must not change what is measured.
    return Pipeline("vidorant-cli" + (f" --threads {threads}" if threads else ""), True, vidorant(cli, threads),
                    env=dict(os.environ, XDG_CONFIG_HOME=settings_home))


def floor():
    return Pipeline("decode+scale floor (ffmpeg -threads 1)", shutil.which("ffmpeg") is not None, decode_floor,
                    missing=NO_FFMPEG)


def decode_alone():
    return Pipeline("decode alone, all cores (ffmpeg)", shutil.which("ffmpeg") is not None, decode_on_all_cores,
                    missing=NO_FFMPEG)


def all_pipelines(cli, bench_folder, settings_home):
    """Ours first (the others' times are given relative to it), then the others, then the floors."""
    have_ffmpeg = shutil.which("ffmpeg") is not None
    gifski_binary = find_gifski(bench_folder)
    return [
        ours(cli, settings_home),
        Pipeline("ImageMagick (per-frame palette)", have_ffmpeg and os.access(IMAGEMAGICK, os.X_OK),
                 imagemagick, missing=f"{IMAGEMAGICK} or ffmpeg is not installed"),
        Pipeline("ffmpeg palettegen/paletteuse", have_ffmpeg, ffmpeg_palette, missing=NO_FFMPEG),
        Pipeline("gifski", have_ffmpeg and gifski_binary is not None, gifski(gifski_binary),
                 missing="gifski or ffmpeg is not installed"),
        floor(),
        decode_alone(),
    ]
