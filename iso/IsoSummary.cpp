#include "iso/IsoSummary.h"

#include "common/Formatters.h"
#include "iso/BoxParsers.h"

namespace kestrova {
namespace {

void ClearAudio(IsoSummaryInfo& s) {
    s.audioChannelCount = 0;
    s.audioSampleRate = 0;
    s.audioFramesPerSample = 0;
    s.audioSbr = 0;
    s.amrMode = 0;
    s.audioTimeScale = 0;
    s.audioObjectType = 0;
}

}  // namespace

void SetMp4aAudio(IsoSummaryInfo& summary, const AudioEntryRow& entry, const std::vector<EsdsRow>& esdsRows,
                  const std::vector<std::int32_t>& entryEsds) {
    ClearAudio(summary);
    summary.audioTimeScale = entry.sampleRateHigh;
    summary.audioFramesPerSample = 1;
    const EsdsRow* config = nullptr;   // the last esds with an AudioSpecificConfig
    const EsdsRow* decoder = nullptr;  // the last esds with a DecoderConfigDescriptor
    for (const std::int32_t row : entryEsds) {
        const EsdsRow& esds = esdsRows[static_cast<std::size_t>(row)];
        if (esds.audio.decoded) config = &esds;
        if (esds.hasDecoderConfig) decoder = &esds;
    }
    if (config) {
        summary.audioChannelCount = config->audio.channelCount;
        summary.audioSampleRate = config->audio.sampleRate;
        summary.audioSbr = config->audio.sbr;
        summary.audioObjectType = config->objectTypeIndication;
        return;
    }
    // MP3, private types, or no usable configuration: what the entry itself says.
    summary.audioObjectType = decoder ? decoder->objectTypeIndication : 0;
    summary.audioChannelCount = entry.channelCount;
    summary.audioSampleRate = entry.sampleRateHigh;
}

void SetSamrAudio(IsoSummaryInfo& summary, const AudioEntryRow& entry) {
    ClearAudio(summary);
    summary.amrMode = entry.hasConfig ? AmrModeOf(entry.config.modeSet) : 1;
    summary.audioChannelCount = 1;
    summary.audioSampleRate = 8000;
    summary.audioTimeScale = entry.sampleRateHigh;
    summary.audioFramesPerSample = entry.hasConfig ? entry.config.framesPerSample : 0;
}

void SetSevcAudio(IsoSummaryInfo& summary, const AudioEntryRow& entry, bool complete) {
    ClearAudio(summary);
    if (!complete) return;
    summary.audioChannelCount = 1;
    summary.audioSampleRate = 8000;
    summary.audioTimeScale = entry.sampleRateHigh;
    summary.audioFramesPerSample = entry.hasConfig ? entry.config.framesPerSample : 0;
}

void SetVideoSummary(IsoParse& parse) {
    IsoSummaryInfo& s = parse.summary;
    const IsoTrack* video = nullptr;
    for (const IsoTrack& track : parse.tracks) {
        for (const std::int32_t record : track.entryRecords) {
            const std::uint32_t type = parse.records[static_cast<std::size_t>(record)].type;
            if (type == Fourcc("mp4v") || type == Fourcc("s263") || type == Fourcc("avc1")) video = &track;
        }
    }
    s.videoSampleCount = s.videoSyncSampleCount = 0;
    s.videoTotalBytes = 0;
    s.videoObjectType = 0;
    s.videoHeaderSize = 0;
    s.videoWidth = s.videoHeight = 0;
    if (!video) return;
    const IsoBoxTables& t = parse.tables;
    if (video->stsz >= 0) {
        const StszRow& stsz = t.stsz[static_cast<std::size_t>(video->stsz)];
        s.videoSampleCount = stsz.sampleCount;
        s.videoTotalBytes = stsz.totalBytes;
    }
    // Without a sync-sample table every sample is a sync sample.
    s.videoSyncSampleCount = video->stss >= 0 ? t.stss[static_cast<std::size_t>(video->stss)].entryCount
                                              : s.videoSampleCount;
    if (video->videoEsds >= 0) {
        const EsdsRow& esds = t.esds[static_cast<std::size_t>(video->videoEsds)];
        s.videoObjectType = esds.objectTypeIndication;
        s.videoHeaderSize = esds.dsiTag.value == 5 ? esds.dsiLength.value : 0;
    }
    s.videoWidth = video->width;
    s.videoHeight = video->height;
}

}  // namespace kestrova
