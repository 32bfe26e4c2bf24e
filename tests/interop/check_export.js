#!/usr/bin/env node
// Checks vexstat's export with independent tools: the JSON against its JSON
// Schema (ajv), the metrics with a Prometheus text-format parser.  Prints
// what the tool read, as JSON; exits 1 with the problems when it fails.
//
// Usage: node check_export.js json SCHEMA FILE
//        node check_export.js metrics FILE
'use strict';

const fs = require('fs');
const path = require('path');
const modules = path.join(__dirname, 'node_modules');

const [kind, a, b] = process.argv.slice(2);
if (kind === 'json') {
  const Ajv2020 = require(path.join(modules, 'ajv', 'dist', '2020')).default;
  const ajv = new Ajv2020({ allErrors: true, strict: true });
  const validate = ajv.compile(JSON.parse(fs.readFileSync(a, 'utf8')));
  const data = JSON.parse(fs.readFileSync(b, 'utf8'));
  if (!validate(data)) {
    process.stderr.write(JSON.stringify(validate.errors, null, 1) + '\n');
    process.exit(1);
  }
  process.stdout.write(JSON.stringify(data) + '\n');
} else if (kind === 'metrics') {
  const parse = require(path.join(modules, 'parse-prometheus-text-format'));
  const families = parse(fs.readFileSync(a, 'utf8'));
  process.stdout.write(JSON.stringify(families) + '\n');
} else {
  process.stderr.write('usage: check_export.js json SCHEMA FILE | metrics FILE\n');
  process.exit(2);
}
