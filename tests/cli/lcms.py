"""Little CMS through ctypes, for what Pillow's ImageCms cannot do: converting 16-bit RGB, and
making a CMYK profile (no CMYK profile is installed)."""
import ctypes

import numpy

_LCMS = ctypes.CDLL("liblcms2.so.2")
_P, _U = ctypes.c_void_p, ctypes.c_uint32
for _name, _result, _arguments in (
        ("cmsOpenProfileFromMem", _P, [ctypes.c_char_p, _U]), ("cmsCreate_sRGBProfile", _P, []),
        ("cmsCreateTransform", _P, [_P, _U, _P, _U, _U, _U]), ("cmsDoTransform", None, [_P, _P, _P, _U]),
        ("cmsDeleteTransform", None, [_P]), ("cmsCloseProfile", None, [_P]),
        ("cmsCreateProfilePlaceholder", _P, [_P]), ("cmsSetProfileVersion", None, [_P, ctypes.c_double]),
        ("cmsSetDeviceClass", None, [_P, _U]), ("cmsSetColorSpace", None, [_P, _U]),
        ("cmsSetPCS", None, [_P, _U]),
        ("cmsPipelineAlloc", _P, [_P, _U, _U]), ("cmsPipelineInsertStage", None, [_P, ctypes.c_int, _P]),
        ("cmsPipelineFree", None, [_P]), ("cmsStageAllocToneCurves", _P, [_P, _U, _P]),
        ("cmsStageAllocCLut16bit", _P, [_P, _U, _U, _U, _P]), ("cmsWriteTag", None, [_P, _U, _P]),
        ("cmsD50_XYZ", _P, []), ("cmsMLUalloc", _P, [_P, _U]), ("cmsMLUfree", None, [_P]),
        ("cmsMLUsetASCII", None, [_P, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p]),
        ("cmsSaveProfileToMem", None, [_P, _P, ctypes.POINTER(_U)])):
    getattr(_LCMS, _name).restype, getattr(_LCMS, _name).argtypes = _result, _arguments

TYPE_RGB_16 = (4 << 16) | (3 << 3) | 2
TYPE_GRAY_16 = (3 << 16) | (1 << 3) | 2
RELATIVE_COLORIMETRIC = 1
NO_OPTIMIZE = 0x0100
BLACK_POINT_COMPENSATION = 0x2000


def _signature(text):
    return int.from_bytes(text.encode("ascii"), "big")


def _profile(data):
    return _LCMS.cmsCreate_sRGBProfile() if data is None else _LCMS.cmsOpenProfileFromMem(data, len(data))


def convert16(samples, source, target=None):
    """16-bit RGB or grey samples (an array of shape (..., 3) or (..., 1)) converted from the
    profile bytes source into RGB of target (None: Little CMS's own sRGB), relative
    colorimetric with black-point compensation, the pipeline evaluated exactly: Little CMS's
    optimised 16-bit transform interpolates a table, steps off next to black."""
    into, frm = _profile(target), _profile(source)
    grey = samples.shape[-1] == 1
    transform = _LCMS.cmsCreateTransform(frm, TYPE_GRAY_16 if grey else TYPE_RGB_16, into, TYPE_RGB_16,
                                         RELATIVE_COLORIMETRIC, BLACK_POINT_COMPENSATION | NO_OPTIMIZE)
    samples = numpy.ascontiguousarray(samples, dtype=numpy.uint16)
    out = numpy.empty(samples.shape[:-1] + (3,), numpy.uint16)
    _LCMS.cmsDoTransform(transform, samples.ctypes.data, out.ctypes.data, samples.size // samples.shape[-1])
    _LCMS.cmsDeleteTransform(transform)
    _LCMS.cmsCloseProfile(frm)
    _LCMS.cmsCloseProfile(into)
    return out


def eight_bits(samples16):
    """The 8-bit sample nearest each 16-bit one."""
    return ((samples16.astype(numpy.uint32) * 255 + 32767) // 65535).astype(numpy.uint8)


def cmyk_profile():
    """An input profile of CMYK pixels (0 no ink) through a 9-point table to Lab, whose colours
    differ much from the plain formula's: inks that are neither pure nor independent."""
    steps = numpy.linspace(0.0, 1.0, 9)
    c, m, y, k = numpy.meshgrid(steps, steps, steps, steps, indexing="ij")  # the last fastest
    paper = 1 - 0.85 * k
    lightness = 96 * paper * (1 - 0.45 * c) * (1 - 0.55 * m) * (1 - 0.2 * y) + 2
    a = paper * (70 * m - 35 * c - 10 * y)
    b = paper * (80 * y - 50 * c - 25 * m)
    lab = numpy.stack([lightness / 100, (a + 128) / 255, (b + 128) / 255], -1)
    table = numpy.ascontiguousarray(numpy.round(numpy.clip(lab, 0, 1) * 65535), dtype=numpy.uint16)

    profile = _LCMS.cmsCreateProfilePlaceholder(None)
    _LCMS.cmsSetProfileVersion(profile, 4.3)
    _LCMS.cmsSetDeviceClass(profile, _signature("scnr"))
    _LCMS.cmsSetColorSpace(profile, _signature("CMYK"))
    _LCMS.cmsSetPCS(profile, _signature("Lab "))
    pipeline = _LCMS.cmsPipelineAlloc(None, 4, 3)
    for stage in (_LCMS.cmsStageAllocToneCurves(None, 4, None),
                  _LCMS.cmsStageAllocCLut16bit(None, 9, 4, 3, table.ctypes.data),
                  _LCMS.cmsStageAllocToneCurves(None, 3, None)):
        _LCMS.cmsPipelineInsertStage(pipeline, 1, stage)  # at the end
    for tag in ("A2B0", "A2B1"):  # perceptual, and the relative colorimetric asked for
        _LCMS.cmsWriteTag(profile, _signature(tag), pipeline)
    _LCMS.cmsWriteTag(profile, _signature("wtpt"), _LCMS.cmsD50_XYZ())
    text = _LCMS.cmsMLUalloc(None, 1)
    _LCMS.cmsMLUsetASCII(text, b"en", b"US", b"Test CMYK")
    _LCMS.cmsWriteTag(profile, _signature("desc"), text)
    size = ctypes.c_uint32(0)
    _LCMS.cmsSaveProfileToMem(profile, None, ctypes.byref(size))
    data = ctypes.create_string_buffer(size.value)
    _LCMS.cmsSaveProfileToMem(profile, data, ctypes.byref(size))
    _LCMS.cmsMLUfree(text)
    _LCMS.cmsPipelineFree(pipeline)
    _LCMS.cmsCloseProfile(profile)
    return data.raw[:size.value]
