#!/usr/bin/env node
// Reads a compressed .glb with glTF Transform, decoding EXT_meshopt_compression with
// meshoptimizer's own decoder and KHR_mesh_quantization by its node transforms, and
// compares it with the same file written without compression: every mesh node (in tree
// order) with its name, its vertex count and its bounds in the scene, at rest and at its
// last morph target, to within 1/30000 of the mesh's size (quantised positions lie on a
// grid of 65534 steps across each mesh, coarser only where its morph deltas need it).
// Exits 1 when they differ, 2 for bad arguments or missing tools.
//   node decode.js COMPRESSED.glb UNCOMPRESSED.glb
'use strict';

const path = require('path');

const modules = path.join(__dirname, '..', '..', 'tools', 'gltf', 'node_modules');

// Rest-pose bounds in the scene of each mesh node. A mesh moved to a child node of its own
// ("NAME geometry", for the quantisation grid) counts as its parent's, in its parent's place.
function meshNodes(document, core) {
  const found = [];
  const visit = (node) => {
    const children = node.listChildren();
    const holder = children.find((c) => c.getName() === `${node.getName()} geometry` && c.getMesh());
    const meshNode = node.getMesh() ? node : holder;
    if (meshNode) {
      found.push({ name: node.getName(), ...measure(meshNode, core) });
    }
    for (const child of children) {
      if (child !== holder) {
        visit(child);
      }
    }
  };
  for (const scene of document.getRoot().listScenes()) {
    scene.listChildren().forEach(visit);
  }
  return found;
}

function measure(node, core) {
  const matrix = node.getWorldMatrix();
  const place = (p) => [0, 1, 2].map((r) => matrix[r] * p[0] + matrix[4 + r] * p[1] + matrix[8 + r] * p[2] + matrix[12 + r]);
  let vertices = 0;
  const rest = { low: [Infinity, Infinity, Infinity], high: [-Infinity, -Infinity, -Infinity] };
  const moved = { low: [Infinity, Infinity, Infinity], high: [-Infinity, -Infinity, -Infinity] };
  let targets = 0;
  const grow = (bounds, p) => {
    for (let k = 0; k < 3; ++k) {
      bounds.low[k] = Math.min(bounds.low[k], p[k]);
      bounds.high[k] = Math.max(bounds.high[k], p[k]);
    }
  };
  for (const primitive of node.getMesh().listPrimitives()) {
    const position = primitive.getAttribute('POSITION');
    const last = primitive.listTargets().slice(-1)[0];
    const delta = last ? last.getAttribute('POSITION') : null;
    targets = Math.max(targets, primitive.listTargets().length);
    vertices += position.getCount();
    const p = [0, 0, 0];
    const d = [0, 0, 0];
    for (let i = 0; i < position.getCount(); ++i) {
      position.getElement(i, p);
      grow(rest, place(p));
      if (delta) {
        delta.getElement(i, d);
        grow(moved, place([p[0] + d[0], p[1] + d[1], p[2] + d[2]]));
      }
    }
  }
  return { vertices, targets, bounds: targets > 0 ? [rest, moved] : [rest] };
}

async function main() {
  const [compressed, reference] = process.argv.slice(2);
  if (!compressed || !reference) {
    console.error('usage: node decode.js COMPRESSED.glb UNCOMPRESSED.glb');
    return 2;
  }
  let core, extensions, meshopt;
  try {
    core = require(path.join(modules, '@gltf-transform', 'core'));
    extensions = require(path.join(modules, '@gltf-transform', 'extensions'));
    meshopt = require(path.join(modules, 'meshoptimizer'));
  } catch (e) {
    console.error(`decode.js: no glTF Transform or meshoptimizer in tools/gltf (run scripts/install-deps.sh): ${e.message}`);
    return 2;
  }
  await meshopt.MeshoptDecoder.ready;
  const io = new core.NodeIO()
    .registerExtensions(extensions.ALL_EXTENSIONS)
    .registerDependencies({ 'meshopt.decoder': meshopt.MeshoptDecoder });
  const packed = await io.readAsJSON(compressed);
  const required = packed.json.extensionsRequired || [];
  const failures = [];
  for (const name of ['EXT_meshopt_compression', 'KHR_mesh_quantization']) {
    if (!required.includes(name)) {
      failures.push(`${compressed} does not require ${name}`);
    }
  }
  const views = packed.json.bufferViews || [];
  const decodedViews = views.filter((v) => v.extensions && v.extensions.EXT_meshopt_compression).length;
  const found = meshNodes(await io.read(compressed), core);
  const wanted = meshNodes(await io.read(reference), core);
  console.log(`decode.js: ${compressed}: ${decodedViews} of ${views.length} buffer views packed by meshoptimizer; ` +
              `${found.length} mesh nodes, ${found.reduce((n, m) => n + m.vertices, 0)} vertices ` +
              `(uncompressed: ${wanted.length}, ${wanted.reduce((n, m) => n + m.vertices, 0)})`);
  if (decodedViews === 0) {
    failures.push('no buffer view is packed');
  }
  if (found.length !== wanted.length) {
    failures.push(`mesh nodes: found ${found.length}, expected ${wanted.length}`);
  }
  let worst = 0;
  for (let i = 0; i < Math.min(found.length, wanted.length); ++i) {
    const a = found[i];
    const b = wanted[i];
    if (a.name !== b.name || a.vertices !== b.vertices || a.targets !== b.targets) {
      failures.push(`mesh node ${i}: ${a.name} with ${a.vertices} vertices and ${a.targets} morph targets, ` +
                    `expected ${b.name} with ${b.vertices} and ${b.targets}`);
      continue;
    }
    b.bounds.forEach((expected, k) => {
      const got = a.bounds[k];
      const size = Math.max(...[0, 1, 2].map((c) => expected.high[c] - expected.low[c]));
      const off = Math.max(...[0, 1, 2].flatMap((c) => [Math.abs(got.low[c] - expected.low[c]),
                                                         Math.abs(got.high[c] - expected.high[c])]));
      worst = Math.max(worst, size > 0 ? off / size : 0);
      if (off > size / 30000 + 1e-7) {
        failures.push(`${b.name}: bounds ${got.low}..${got.high}, expected ${expected.low}..${expected.high}`);
      }
    });
  }
  console.log(`decode.js: bounds off by at most ${worst.toExponential(2)} of a mesh's size`);
  for (const failure of failures) {
    console.log(`decode.js: MISMATCH ${failure}`);
  }
  console.log(`decode.js: ${failures.length ? 'FAILED' : 'OK'}`);
  return failures.length ? 1 : 0;
}

main().then(
  (code) => process.exit(code),
  (error) => {
    console.error(`decode.js: ${error && error.stack ? error.stack : error}`);
    process.exit(1);
  });
