"""How faithful a GIF is to its video: global PSNR against a reference of the same size.

The reference is the source decoded at 10 frames/s and scaled with bicubic to the GIF's size;
the GIF is decoded by FFmpeg (not by our own reader, which would grade its own writer) and laid
out at 10 frames/s by its frame delays, so a tool that merges repeated frames into one longer
frame is still compared picture for picture. Converters do not agree on which source frame opens
the GIF (ours starts about one frame ahead of FFmpeg's fps filter), so each GIF is paired with the
reference at the shift, within MAX_SHIFT frames, that fits best.
"""
import math
import subprocess

import numpy

MAX_SHIFT = 2


def decode_rgb(argv_inputs, filters, width, height):
    """Frames of ffmpeg's decode as an array (frames, height, width, 3) of uint8."""
    argv = ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", *argv_inputs, "-an", "-sn",
            "-vf", filters, "-pix_fmt", "rgb24", "-f", "rawvideo", "-"]
    raw = subprocess.run(argv, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE).stdout
    frame_bytes = width * height * 3
    if len(raw) % frame_bytes:
        raise ValueError(f"ffmpeg's decode is not whole {width}x{height} frames")
    return numpy.frombuffer(raw, numpy.uint8).reshape(-1, height, width, 3)


def reference_frames(video, width, height):
    return decode_rgb(["-i", video], f"fps=10,scale={width}:{height}:flags=bicubic", width, height)


def gif_size(gif):
    """(width, height) of the GIF's first video stream, as FFmpeg reads it."""
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                          "stream=width,height", "-of", "csv=p=0", gif],
                         check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout.strip()
    width, height = out.split(",")[:2]
    return int(width), int(height)


def gif_frame_count(gif):
    """The number of images the file holds (one packet each), however long each is shown."""
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                          "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", gif],
                         check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout.strip()
    return int(out)


def gif_frames_at_10fps(gif, width, height):
    return decode_rgb(["-i", gif], "fps=10", width, height)


def psnr_from_mse(mse):
    return math.inf if mse == 0 else 10 * math.log10(255 * 255 / mse)


def paired_mse(reference, gif, shift):
    """Mean squared error of GIF frame i against reference frame i + shift, over the frames both
    have; None when they share none."""
    first = max(0, -shift)
    end = min(len(gif), len(reference) - shift)
    if end <= first:
        return None
    squared = 0
    for i in range(first, end):
        difference = gif[i].astype(numpy.int32) - reference[i + shift]
        squared += int(numpy.einsum("ijk,ijk->", difference, difference, dtype=numpy.int64))
    return squared / ((end - first) * gif[0].size)


def best_shift_psnr(reference, gif):
    """(PSNR in dB, shift) at the shift within MAX_SHIFT of the lowest error; the pairs compared
    must cover at least half of the GIF, so a short GIF cannot win by matching a few frames."""
    best = None
    for shift in range(-MAX_SHIFT, MAX_SHIFT + 1):
        first, end = max(0, -shift), min(len(gif), len(reference) - shift)
        if 2 * (end - first) < len(gif):
            continue
        mse = paired_mse(reference, gif, shift)
        if mse is not None and (best is None or mse < best[0]):
            best = (mse, shift)
    if best is None:
        raise ValueError(f"the GIF's {len(gif)} frames do not line up with the reference's {len(reference)}")
    return psnr_from_mse(best[0]), best[1]


def self_check():
    """Checks the pairing and the figure on made-up frames whose answer is known; raises
    AssertionError when either is wrong."""
    generator = numpy.random.default_rng(5)
    reference = generator.integers(0, 256, size=(12, 6, 8, 3), dtype=numpy.uint8)
    # A GIF one frame behind the reference, every value off by 3 (MSE 9): the other shifts pair
    # unrelated random frames and must lose.
    gif = numpy.clip(reference[1:].astype(numpy.int32) + 3, 0, 255).astype(numpy.uint8)
    moved = (gif.astype(numpy.int32) - reference[1:]) ** 2
    psnr, shift = best_shift_psnr(reference, gif)
    assert shift == 1, f"pairing chose shift {shift}, not 1"
    assert abs(psnr - psnr_from_mse(moved.mean())) < 1e-9, f"PSNR {psnr} is not the paired frames' figure"
    # A GIF one frame ahead (it opens on the second frame of a reference that starts late).
    psnr, shift = best_shift_psnr(reference[1:], reference)
    assert (shift, psnr) == (-1, math.inf), f"identical frames gave shift {shift}, PSNR {psnr}"
    assert abs(psnr_from_mse(255 * 255 / 100) - 20) < 1e-9
    try:
        best_shift_psnr(reference[:3], reference)
    except ValueError:
        pass
    else:
        raise AssertionError("a GIF four times the reference's length was graded")
