#pragma once
// The description of each decoded box type, from its row. Internal to the ISO
// presentation; DisplayIsoBoxInfo chooses among them by the box type.

#include <string>

#include "common/DocumentView.h"
#include "iso/DisplayParseIso.h"
#include "iso/Mp4ParseIso.h"

namespace kestrova {

void DescribeMvhd(DocumentView& view, const MvhdRow& row);
void DescribeIods(DocumentView& view, const IodsRow& row);
void DescribeMetaText(DocumentView& view, const MetaTextRow& row);
void DescribeTkhd(DocumentView& view, const TkhdRow& row, std::uint32_t trackWidth, std::uint32_t trackHeight);
void DescribeMpod(DocumentView& view, const MpodRow& row);
void DescribeMdhd(DocumentView& view, const MdhdRow& row);
void DescribeHdlr(DocumentView& view, const HdlrRow& row);
void DescribeVmhd(DocumentView& view, const VmhdRow& row);
void DescribeSmhd(DocumentView& view, const SmhdRow& row);
void DescribeHmhd(DocumentView& view, const HmhdRow& row);
void DescribeDref(DocumentView& view, const DrefRow& row);
void DescribeUrl(DocumentView& view, const UrlRow& row);
void DescribeStsd(DocumentView& view, const StsdRow& row);

void DescribeStsz(DocumentView& view, const StszRow& row);
void DescribeStco(DocumentView& view, const StcoRow& row);
void DescribeStss(DocumentView& view, const StssRow& row);
void DescribeStts(DocumentView& view, const SttsRow& row);
void DescribeStsc(DocumentView& view, const StscRow& row);

void DescribeVisualEntry(DocumentView& view, const VisualEntryRow& row);
void DescribeMp4a(DocumentView& view, const AudioEntryRow& row);
void DescribeSamrOrSevc(DocumentView& view, const AudioEntryRow& row);
void DescribeDamr(DocumentView& view, const DecoderConfigFields& config);
void DescribeDevc(DocumentView& view, const DecoderConfigFields& config);
void DescribeMp4s(DocumentView& view, const Mp4sRow& row);
void DescribeEsds(DocumentView& view, const EsdsRow& row);

}  // namespace kestrova
