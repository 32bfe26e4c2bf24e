// Readers of the node's area configuration in its three grammars, and the
// lookup that fills the area fields of the announcement.
#pragma once

#include <string>

#include "core/log.h"
#include "platform/env.h"
#include "posting/area_record.h"
#include "posting/posting_settings.h"

namespace vex {

// Looks entry.areaTag up in the file named by areaDefineCfg (a format letter
// H, S or T followed at once by the path) and copies what it found into the
// entry; failures are logged.
void LookUpArea(PostingSettings& settings, LogContext& log, Env& env);

// Format H: ECHOAREA / NETMAILAREA / LOCALAREA lines with dash options and
// ECHOAREADEFAULTS lines whose values take precedence.
int ReadAreaFormatH(Env& env, const std::string& path, AreaRecord& area);
// Format S: ECHOAREA / NETAREA / LOCALAREA lines with the options "-$"
// (Squish) and "-P<address>".
int ReadAreaFormatS(Env& env, const std::string& path, AreaRecord& area);
// Format T: an AREAFILE line naming a list of "path tag type" lines.
int ReadAreaFormatT(Env& env, const std::string& path, AreaRecord& area);

// The dash options of a format-H area line; sets result to 2 for a base type
// word that is not supported.
void ParseAreaOptionsH(std::string text, AreaRecord& area, int& result);
// The text after its second double quote; s itself with fewer than two.
std::string SkipQuotedText(const std::string& s);
// "S", "M" or "J" for Squish, MSG or Jam (any case); empty otherwise.
std::string BaseTypeFromWord(const std::string& word);

}  // namespace vex
