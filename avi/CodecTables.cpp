// Names of video codecs by FOURCC and of audio formats by WAVE format tag.
// Both tables are searched front to back; the first match wins.

#include "avi/DisplayAviInfo.h"
#include "common/Formatters.h"

namespace kestrova {
namespace {

struct VideoCodecEntry {
    std::uint32_t code;  // lower case, file order
    const char* description;
};

struct AudioFormatEntry {
    std::uint16_t tag;
    const char* name;
};

const VideoCodecEntry kVideoCodecTable[] = {
    {Fourcc("divx"), "MicroSoft MPEG-4 v1"},
    {Fourcc("div3"), "DivX MPEG-4 V3.xx Low motion codec"},
    {Fourcc("div4"), "DivX MPEG-4 V3.2x Fast-Motio"},
    {Fourcc("div5"), "DivX MPEG-4"},
    {Fourcc("div6"), "DivX MPEG-4"},
    {Fourcc("xvid"), "Xvid (MPEG-4)"},
    {Fourcc("cscd"), "CamStudio Lossless Codec v1.0"},
    {Fourcc("dvsd"), "Cedocida DV codec (SD format) v0.1.6"},
    {Fourcc("cvid"), "Cinepak Codec by Radius"},
    {Fourcc("ffds"), "ffshow Video Codec"},
    {Fourcc("hfyu"), "Huffyuv v2.1.1 - CCESP Patch v0.2.5"},
    {Fourcc("iv50"), "Indeo(R) video 5.10"},
    {Fourcc("i420"), "Intel 4:2:0 Video V2.50"},
    {Fourcc("iv32"), "Intel Indeo(R) Video R3.2"},
    {Fourcc("iv41"), "Intel Indeo(R) Video 4.5"},
    {Fourcc("iyuv"), "Intel IYUV codec"},
    {Fourcc("lags"), "lagarith lossless codec"},
    {Fourcc("lzoc"), "LZOCodec v0.4"},
    {Fourcc("m261"), "Microsoft H.261 Video Codec"},
    {Fourcc("m263"), "Microsoft H.263 Video Codec"},
    {Fourcc("x264"), "x264 - H.264/AVC encoder"},
    {Fourcc("mrle"), "Microsoft RLE"},
    {Fourcc("msvc"), "Microsoft Video 1"},
    {Fourcc("rtll"), "Arithyuv lossless codec"},
    {Fourcc("wmv1"), "Microsoft Windows Media Video 7"},
    {Fourcc("wmv2"), "Microsoft Windows Media Video 8"},
    {Fourcc("wmv3"), "Microsoft Windows Media Video 9"},
};

const AudioFormatEntry kAudioFormatTable[] = {
    {0x0000, "UNKNOWN (Microsoft Corporation)"},
    {0x0002, "ADPCM (Microsoft Corporation)"},
    {0x0003, "IEEE_FLOAT (Microsoft Corporation)"},
    {0x0004, "VSELP (Compaq Computer Corp.)"},
    {0x0005, "IBM_CVSD (IBM Corporation)"},
    {0x0006, "ALAW (Microsoft Corporation)"},
    {0x0007, "MULAW (Microsoft Corporation)"},
    {0x0008, "DTS (Microsoft Corporation)"},
    {0x0009, "DRM (Microsoft Corporation)"},
    {0x0010, "OKI_ADPCM (OKI)"},
    {0x0011, "DVI_ADPCM (Intel Corporation)"},
    {0x0011, "IMA_ADPCM (Intel Corporation)"},
    {0x0012, "MEDIASPACE_ADPCM (Videologic)"},
    {0x0013, "SIERRA_ADPCM (Sierra Semiconductor Corp)"},
    {0x0014, "G723_ADPCM (Antex Electronics Corporation)"},
    {0x0015, "DIGISTD (DSP Solutions, Inc.)"},
    {0x0016, "DIGIFIX (DSP Solutions, Inc.)"},
    {0x0017, "DIALOGIC_OKI_ADPCM (Dialogic Corporation)"},
    {0x0018, "MEDIAVISION_ADPCM (Media Vision, Inc.)"},
    {0x0019, "CU_CODEC (Hewlett-Packard Company)"},
    {0x0020, "YAMAHA_ADPCM (Yamaha Corporation of America)"},
    {0x0021, "SONARC (Speech Compression)"},
    {0x0022, "DSPGROUP_TRUESPEECH (DSP Group, Inc)"},
    {0x0023, "ECHOSC1 (Echo Speech Corporation)"},
    {0x0024, "AUDIOFILE_AF36 (Virtual Music, Inc.)"},
    {0x0025, "APTX (Audio Processing Technology)"},
    {0x0026, "AUDIOFILE_AF10 (Virtual Music, Inc.)"},
    {0x0027, "PROSODY_1612 (Aculab plc)"},
    {0x0028, "LRC (Merging Technologies S.A.)"},
    {0x0030, "DOLBY_AC2 (Dolby Laboratories)"},
    {0x0031, "GSM610 (Microsoft Corporation)"},
    {0x0032, "MSNAUDIO (Microsoft Corporation)"},
    {0x0033, "ANTEX_ADPCME (Antex Electronics Corporation)"},
    {0x0034, "CONTROL_RES_VQLPC (Control Resources Limited)"},
    {0x0035, "DIGIREAL (DSP Solutions, Inc.)"},
    {0x0036, "DIGIADPCM (DSP Solutions, Inc.)"},
    {0x0037, "CONTROL_RES_CR10 (Control Resources Limited)"},
    {0x0038, "NMS_VBXADPCM (Natural MicroSystems)"},
    {0x0039, "CS_IMAADPCM (Crystal Semiconductor IMA ADPCM)"},
    {0x003A, "ECHOSC3 (Echo Speech Corporation)"},
    {0x003B, "ROCKWELL_ADPCM (Rockwell International)"},
    {0x003C, "ROCKWELL_DIGITALK (Rockwell International)"},
    {0x003D, "XEBEC (Xebec Multimedia Solutions Limited)"},
    {0x0040, "G721_ADPCM (Antex Electronics Corporation)"},
    {0x0041, "G728_CELP (Antex Electronics Corporation)"},
    {0x0042, "MSG723 (Microsoft Corporation)"},
    {0x0050, "MPEG (Microsoft Corporation)"},
    {0x0052, "RT24 (InSoft, Inc.)"},
    {0x0053, "PAC (InSoft, Inc.)"},
    {0x0055, "MPEGLAYER3 (ISO/MPEG Layer3 Format Tag)"},
    {0x0059, "LUCENT_G723 (Lucent Technologies)"},
    {0x0060, "CIRRUS (Cirrus Logic)"},
    {0x0061, "ESPCM (ESS Technology)"},
    {0x0062, "VOXWARE (Voxware Inc)"},
    {0x0063, "CANOPUS_ATRAC (Canopus, co., Ltd.)"},
    {0x0064, "G726_ADPCM (APICOM)"},
    {0x0065, "G722_ADPCM (APICOM)"},
    {0x0067, "DSAT_DISPLAY (Microsoft Corporation)"},
    {0x0069, "VOXWARE_BYTE_ALIGNED (Voxware Inc)"},
    {0x0070, "VOXWARE_AC8 (Voxware Inc)"},
    {0x0071, "VOXWARE_AC10 (Voxware Inc)"},
    {0x0072, "VOXWARE_AC16 (Voxware Inc)"},
    {0x0073, "VOXWARE_AC20 (Voxware Inc)"},
    {0x0074, "VOXWARE_RT24 (Voxware Inc)"},
    {0x0075, "VOXWARE_RT29 (Voxware Inc)"},
    {0x0076, "VOXWARE_RT29HW (Voxware Inc)"},
    {0x0077, "VOXWARE_VR12 (Voxware Inc)"},
    {0x0078, "VOXWARE_VR18 (Voxware Inc)"},
    {0x0079, "VOXWARE_TQ40 (Voxware Inc)"},
    {0x0080, "SOFTSOUND (Softsound, Ltd.)"},
    {0x0081, "VOXWARE_TQ60 (Voxware Inc)"},
    {0x0082, "MSRT24 (Microsoft Corporation)"},
    {0x0083, "G729A (AT&T Labs, Inc.)"},
    {0x0084, "MVI_MVI2 (Motion Pixels)"},
    {0x0085, "DF_G726 (DataFusion Systems (Pty) (Ltd))"},
    {0x0086, "DF_GSM610 (DataFusion Systems (Pty) (Ltd))"},
    {0x0088, "ISIAUDIO (Iterated Systems, Inc.)"},
    {0x0089, "ONLIVE (OnLive! Technologies, Inc.)"},
    {0x0091, "SBC24 (Siemens Business Communications Sys)"},
    {0x0092, "DOLBY_AC3_SPDIF (Sonic Foundry)"},
    {0x0093, "MEDIASONIC_G723 (MediaSonic)"},
    {0x0094, "PROSODY_8KBPS (Aculab plc)"},
    {0x0097, "ZYXEL_ADPCM (ZyXEL Communications, Inc.)"},
    {0x0098, "PHILIPS_LPCBB (Philips Speech Processing)"},
    {0x0099, "PACKED (Studer Professional Audio AG)"},
    {0x00A0, "MALDEN_PHONYTALK (Malden Electronics Ltd.)"},
    {0x0100, "RHETOREX_ADPCM (Rhetorex Inc.)"},
    {0x0101, "IRAT (BeCubed Software Inc.)"},
    {0x0111, "VIVO_G723 (Vivo Software)"},
    {0x0112, "VIVO_SIREN (Vivo Software)"},
    {0x0123, "DIGITAL_G723 (Digital Equipment Corporation)"},
    {0x0125, "SANYO_LD_ADPCM (Sanyo Electric Co., Ltd.)"},
    {0x0130, "SIPROLAB_ACEPLNET (Sipro Lab Telecom Inc.)"},
    {0x0131, "SIPROLAB_ACELP4800 (Sipro Lab Telecom Inc.)"},
    {0x0132, "SIPROLAB_ACELP8V3 (Sipro Lab Telecom Inc.)"},
    {0x0133, "SIPROLAB_G729 (Sipro Lab Telecom Inc.)"},
    {0x0134, "SIPROLAB_G729A (Sipro Lab Telecom Inc.)"},
    {0x0135, "SIPROLAB_KELVIN (Sipro Lab Telecom Inc.)"},
    {0x0140, "G726ADPCM (Dictaphone Corporation)"},
    {0x0150, "QUALCOMM_PUREVOICE (Qualcomm, Inc.)"},
    {0x0151, "QUALCOMM_HALFRATE (Qualcomm, Inc.)"},
    {0x0155, "TUBGSM (Ring Zero Systems, Inc.)"},
    {0x0160, "MSAUDIO1 (Microsoft Corporation)"},
    {0x0170, "UNISYS_NAP_ADPCM (Unisys Corp.)"},
    {0x0171, "UNISYS_NAP_ULAW (Unisys Corp.)"},
    {0x0172, "UNISYS_NAP_ALAW (Unisys Corp.)"},
    {0x0173, "UNISYS_NAP_16K (Unisys Corp.)"},
    {0x0200, "CREATIVE_ADPCM (Creative Labs, Inc)"},
    {0x0202, "CREATIVE_FASTSPEECH8 (Creative Labs, Inc)"},
    {0x0203, "CREATIVE_FASTSPEECH10 (Creative Labs, Inc)"},
    {0x0210, "UHER_ADPCM (UHER informatic GmbH)"},
    {0x0220, "QUARTERDECK (Quarterdeck Corporation)"},
    {0x0230, "ILINK_VC (I-link Worldwide)"},
    {0x0240, "RAW_SPORT (Aureal Semiconductor)"},
    {0x0241, "ESST_AC3 (ESS Technology, Inc.)"},
    {0x0250, "IPI_HSX (Interactive Products, Inc.)"},
    {0x0251, "IPI_RPELP (Interactive Products, Inc.)"},
    {0x0260, "CS2 (Consistent Software)"},
    {0x0270, "SONY_SCX (Sony Corp.)"},
    {0x0300, "FM_TOWNS_SND (Fujitsu Corp.)"},
    {0x0400, "BTV_DIGITAL (Brooktree Corporation)"},
    {0x0450, "QDESIGN_MUSIC (QDesign Corporation)"},
    {0x0680, "VME_VMPCM (AT&T Labs, Inc.)"},
    {0x0681, "TPC (AT&T Labs, Inc.)"},
    {0x1000, "OLIGSM (Ing C. Olivetti & C., S.p.A.)"},
    {0x1001, "OLIADPCM (Ing C. Olivetti & C., S.p.A.)"},
    {0x1002, "OLICELP (Ing C. Olivetti & C., S.p.A.)"},
    {0x1003, "OLISBC (Ing C. Olivetti & C., S.p.A.)"},
    {0x1004, "OLIOPR (Ing C. Olivetti & C., S.p.A.)"},
    {0x1100, "LH_CODEC (Lernout & Hauspie)"},
    {0x1400, "NORRIS (Norris Communications, Inc.)"},
    {0x1500, "SOUNDSPACE_MUSICOMPRESS(AT&T Labs, Inc.)"},
    {0x2000, "AC3 (DVM - FAST Multimedia AG)"},
    {0x2001, "DTS (Digital Theater System)"},
};

const char* FindVideoCodec(std::uint32_t code) {
    const std::uint32_t lower = FourccLower(code);
    for (const VideoCodecEntry& e : kVideoCodecTable)
        if (e.code == lower) return e.description;
    return nullptr;
}

const char* const kBitmapCompressionNames[] = {"BI_RGB", "BI_RLE8", "BI_RLE4", "BI_BITFIELDS", "BI_JPEG", "BI_PNG"};

}  // namespace

std::string VideoCodecText(std::uint32_t code) {
    if (const char* description = FindVideoCodec(code)) return std::string(description) + "(" + FourccText(code) + ")";
    return "알수 없음(" + FourccText(code) + ")";
}

std::string AudioFormatText(std::uint32_t tag) {
    const std::uint16_t tag16 = static_cast<std::uint16_t>(tag);
    for (const AudioFormatEntry& e : kAudioFormatTable)
        if (e.tag == tag16) return std::string(e.name) + "(" + Hex16Text(tag) + ")";
    return "알수 없음(code:" + Hex16Text(tag) + ")";
}

std::string CompressionText(std::uint32_t value) {
    // BITMAPINFOHEADER defines the field as a little-endian number; the
    // walker keeps it in file order, like every code.
    const std::uint32_t number = (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
    if (number <= 5) return kBitmapCompressionNames[number];
    if (FindVideoCodec(value)) return FourccText(value);
    return "UnKnown Type (" + Hex32Text(value) + ")";
}

}  // namespace kestrova
