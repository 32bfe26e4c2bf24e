#!/usr/bin/env node
// Reads a JAM message base with an independent JAM reader and prints what
// it finds as JSON: the base header, the index, and for every message its
// stored header fields, subfields, decoded names and kludges, and its text.
//
// Usage: node read_jam.js <base path without extension>
'use strict';

const path = require('path');
const JAM = require(path.join(__dirname, 'node_modules', 'fidonet-jam'));

function call(fn, ...args) {
  return new Promise((resolve, reject) => {
    fn(...args, (err, value) => (err ? reject(err) : resolve(value)));
  });
}

async function main() {
  const basePath = process.argv[2];
  if (!basePath) {
    process.stderr.write('usage: read_jam.js <base path>\n');
    process.exit(2);
  }
  const base = JAM(basePath);
  await call(base.readFixedHeaderInfoStruct.bind(base));
  await call(base.readJDX.bind(base));
  await call(base.readJLR.bind(base));
  const headers = await call(base.readAllHeaders.bind(base));
  const fixed = base.fixedHeader;
  const result = {
    base: {
      signature: fixed.Signature.toString('latin1'),
      datecreated: fixed.datecreated,
      modcounter: fixed.modcounter,
      activemsgs: fixed.activemsgs,
      passwordcrc: fixed.passwordcrc,
      basemsgnum: fixed.basemsgnum,
    },
    size: base.size(),
    index: base.indexStructure,
    lastreads: base.lastreads,
    messages: [],
  };
  for (let i = 0; i < headers.length; i++) {
    const h = headers[i];
    const decoded = base.decodeHeader(h);
    const text = await call(base.decodeMessage.bind(base), h, {});
    result.messages.push({
      index: i + 1,
      header: {
        signature: h.Signature.toString('latin1'),
        Revision: h.Revision,
        SubfieldLen: h.SubfieldLen,
        TimesRead: h.TimesRead,
        MSGIDcrc: h.MSGIDcrc,
        REPLYcrc: h.REPLYcrc,
        DateWritten: h.DateWritten,
        DateReceived: h.DateReceived,
        DateProcessed: h.DateProcessed,
        MessageNumber: h.MessageNumber,
        Attribute: h.Attribute,
        Attribute2: h.Attribute2,
        Offset: h.Offset,
        TxtLen: h.TxtLen,
        PasswordCRC: h.PasswordCRC,
        Cost: h.Cost,
      },
      subfields: h.Subfields.map((sf) => ({
        LoID: sf.LoID,
        HiID: sf.HiID,
        type: sf.type,
        datlen: sf.datlen,
      })),
      decoded: decoded,
      kludgeLines: base.decodeKludges(h),
      text: text,
      // The reader's own CRCs of the names it decoded, in the base's code page.
      toCrc: base.crc32(decoded.to || '', { encoding: 'cp866' }),
      msgidCrc: decoded.msgid === undefined
        ? null : base.crc32(decoded.msgid, { encoding: 'cp866' }),
    });
  }
  process.stdout.write(JSON.stringify(result, null, 1) + '\n');
}

main().catch((err) => {
  process.stderr.write('read_jam: ' + (err && err.stack ? err.stack : err) + '\n');
  process.exit(1);
});
