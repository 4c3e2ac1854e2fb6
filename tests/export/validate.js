#!/usr/bin/env node
// Checks one .glb with the Khronos glTF validator (installed in tools/gltf by
// scripts/install-deps.sh). Prints what it found; exits 1 when it reports any error.
//   node validate.js FILE.glb
'use strict';

const fs = require('fs');
const path = require('path');

const validatorPath = path.join(__dirname, '..', '..', 'tools', 'gltf', 'node_modules', 'gltf-validator');
const severities = ['error', 'warning', 'info', 'hint'];

function main() {
  const file = process.argv[2];
  if (!file) {
    console.error('usage: node validate.js FILE.glb');
    return Promise.resolve(2);
  }
  let validator;
  try {
    validator = require(validatorPath);
  } catch (e) {
    console.error(`validate.js: no glTF validator in tools/gltf (run scripts/install-deps.sh): ${e.message}`);
    return Promise.resolve(2);
  }
  const bytes = new Uint8Array(fs.readFileSync(file));
  return validator.validateBytes(bytes, { uri: path.basename(file), maxIssues: 200 }).then((report) => {
    const issues = report.issues;
    const info = report.info || {};
    console.log(`${file}: validator ${report.validatorVersion}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ` +
                `${issues.numInfos} infos, ${issues.numHints} hints`);
    if (info.totalVertexCount !== undefined) {
      console.log(`  ${info.totalVertexCount} vertices, ${info.totalTriangleCount} triangles, ` +
                  `${info.drawCallCount} draw calls, ${info.materialCount} materials`);
    }
    for (const m of issues.messages) {
      console.log(`  ${severities[m.severity] || m.severity} ${m.code} at ${m.pointer || m.offset || '-'}: ${m.message}`);
    }
    return issues.numErrors > 0 ? 1 : 0;
  });
}

main().then(
  (code) => process.exit(code),
  (error) => {
    console.error(`validate.js: ${error && error.stack ? error.stack : error}`);
    process.exit(1);
  });
