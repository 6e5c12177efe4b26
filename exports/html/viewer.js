// The balloon viewer: decodes the page's data block and draws the balloon with three.js, the
// two polar plots and the on-axis response. Everything it needs is inside the page.
//
// Frame: the loudspeaker at the origin looking along +x, +z up, +y to its left. Turntable
// angles (H, V) are the direction x = cos H, y = sin H cos V, z = -sin H sin V.
(function () {
  'use strict';

  const DEG = Math.PI / 180;
  const el = (id) => document.getElementById(id);

  function fail(text) {
    const m = el('message');
    m.textContent = text;
    m.hidden = false;
    document.body.dataset.state = 'error';
  }

  // Without WebGL (or with a damaged page) the viewer says why instead of staying blank.
  try {
    start();
  } catch (error) {
    fail('This page cannot show the balloon here: ' + error.message);
  }

  function start() {
    // --- data -------------------------------------------------------------------------------

    const meta = JSON.parse(el('balloon-meta').textContent);
    const bins = meta.bins;
    const count = meta.directions.length / 2;
    const step = meta.gridStep;
    const lastRow = 180 / step;
    const lastColumn = 360 / step;
    const freqs = meta.frequencies;
    const validFirst = meta.validFirst, validLast = meta.validLast;

    // Base64, then inflate (zlib stream), then the running sums of the zigzag-coded differences:
    // levels wrap as int16, phases within one turn (-1800..1799 tenths of a degree). Each of the
    // two blocks is a plane of low bytes followed by a plane of high bytes.
    async function decodeBlock() {
      const text = atob(el('balloon-data').textContent.trim());
      const bytes = new Uint8Array(text.length);
      for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
      if (typeof DecompressionStream === 'undefined')
        throw new Error('This browser is too old to read the balloon (it has no DecompressionStream).');
      const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate'));
      const raw = new Uint8Array(await new Response(stream).arrayBuffer());
      const n = count * bins;
      if (raw.length !== 4 * n) throw new Error('The balloon data block is damaged.');
      const levels = new Float32Array(n);
      const phases = new Float32Array(n);
      for (const [out, offset, scale, turn] of [[levels, 0, meta.levelStep, 65536], [phases, 2 * n, meta.phaseStep, 3600]]) {
        const half = turn / 2;
        for (let d = 0; d < count; ++d) {
          let q = 0;
          for (let b = 0; b < bins; ++b) {
            const i = d * bins + b;
            const code = raw[offset + i] | (raw[offset + n + i] << 8);
            const difference = (code >>> 1) ^ -(code & 1);
            q = ((((q + difference + half) % turn) + turn) % turn) - half;
            out[i] = q * scale;
          }
        }
      }
      return { levels, phases };
    }

    // The direction index of every grid cell (rows V = +90 .. -90, columns H = 0 .. 360). The
    // data holds each direction once: the axis and the rear axis stand for H = 0, 360 and 180 of
    // every row, and the V = -90 row is the V = +90 row reversed.
    const byAngles = new Map();
    for (let d = 0; d < count; ++d) byAngles.set(meta.directions[2 * d] * 1000 + meta.directions[2 * d + 1], d);
    const axisIndex = byAngles.get(0);
    const rearIndex = byAngles.get(180000);
    function directionIndex(h, v) {
      h = ((h % 360) + 360) % 360;
      if (h === 0) return axisIndex;
      if (h === 180) return rearIndex;
      if (v === -90) { v = 90; h = 360 - h; }
      return byAngles.get(h * 1000 + v);
    }
    const gridIndex = new Int32Array((lastRow + 1) * (lastColumn + 1));
    for (let r = 0; r <= lastRow; ++r)
      for (let c = 0; c <= lastColumn; ++c) gridIndex[r * (lastColumn + 1) + c] = directionIndex(c * step, 90 - r * step);

    // Turntable angles of a unit vector: H in [0, 360), V in (-90, +90].
    function turntableAngles(x, y, z) {
      let h = Math.acos(Math.max(-1, Math.min(1, x))) / DEG;
      let v = Math.hypot(y, z) < 1e-9 ? 0 : Math.atan2(-z, y) / DEG;
      if (v > 90 + 1e-9) { v -= 180; h = 360 - h; } else if (v <= -90 + 1e-9) { v += 180; h = 360 - h; }
      if (h >= 360) h -= 360;
      return [h, v];
    }

    // Bilinear weights of the four cells around (H, V) in the grid.
    function cellWeights(h, v, idx, w, at) {
      const r = (90 - v) / step, c = h / step;
      const r0 = Math.min(Math.max(Math.floor(r), 0), lastRow - 1);
      const c0 = Math.min(Math.max(Math.floor(c), 0), lastColumn - 1);
      const fr = Math.min(Math.max(r - r0, 0), 1), fc = Math.min(Math.max(c - c0, 0), 1);
      const row = lastColumn + 1;
      idx[at] = gridIndex[r0 * row + c0];
      idx[at + 1] = gridIndex[r0 * row + c0 + 1];
      idx[at + 2] = gridIndex[(r0 + 1) * row + c0];
      idx[at + 3] = gridIndex[(r0 + 1) * row + c0 + 1];
      w[at] = (1 - fr) * (1 - fc);
      w[at + 1] = (1 - fr) * fc;
      w[at + 2] = fr * (1 - fc);
      w[at + 3] = fr * fc;
    }

    // --- state ------------------------------------------------------------------------------

    const state = { bin: 460, relative: false, range: 40, top: 0, bottom: -40, display: new Float32Array(count) };
    let data = null;

    function levelAt(d, bin) { return data.levels[d * bins + bin]; }

    // Levels shown at the current frequency: absolute, or relative to the on-axis level.
    function computeDisplay() {
      const ref = state.relative ? levelAt(axisIndex, state.bin) : 0;
      let top = -Infinity;
      for (let d = 0; d < count; ++d) {
        const l = levelAt(d, state.bin) - ref;
        state.display[d] = l;
        if (l > top) top = l;
      }
      state.top = top;
      state.bottom = top - state.range;
    }

    const scaleOf = (level) => Math.min(Math.max((level - state.bottom) / state.range, 0), 1);

    function frequencyText(hz) {
      return hz < 1000 ? hz.toFixed(hz < 100 ? 2 : 1) + ' Hz' : (hz / 1000).toFixed(hz < 10000 ? 3 : 2) + ' kHz';
    }
    const dbText = (db) => (Math.abs(db) < 0.005 ? 0 : db).toFixed(2) + ' dB';

    // --- the balloon ------------------------------------------------------------------------

    // A sphere around the loudspeaker axis: poles at the axis and the rear, rings every quarter
    // grid step, so every grid direction is a vertex and between them the level is bilinear in
    // (H, V).
    const sub = step / 4;
    const rings = 180 / sub, around = 360 / sub;
    const vertexCount = 2 + (rings - 1) * around;
    const unit = new Float32Array(3 * vertexCount);
    const sampleIdx = new Int32Array(4 * vertexCount);
    const sampleW = new Float32Array(4 * vertexCount);
    const ringVertex = (i, j) => 1 + (i - 1) * around + (j % around);
    {
      const put = (k, x, y, z) => {
        unit[3 * k] = x; unit[3 * k + 1] = y; unit[3 * k + 2] = z;
        const [h, v] = turntableAngles(x, y, z);
        cellWeights(h, v, sampleIdx, sampleW, 4 * k);
      };
      put(0, 1, 0, 0);
      for (let i = 1; i < rings; ++i)
        for (let j = 0; j < around; ++j) {
          const t = i * sub * DEG, p = j * sub * DEG;
          put(ringVertex(i, j), Math.cos(t), Math.sin(t) * Math.cos(p), Math.sin(t) * Math.sin(p));
        }
      put(vertexCount - 1, -1, 0, 0);
    }
    const triangles = [];
    for (let j = 0; j < around; ++j) triangles.push(0, ringVertex(1, j), ringVertex(1, j + 1));
    for (let i = 1; i < rings - 1; ++i)
      for (let j = 0; j < around; ++j) {
        const a0 = ringVertex(i, j), a1 = ringVertex(i, j + 1), b0 = ringVertex(i + 1, j), b1 = ringVertex(i + 1, j + 1);
        triangles.push(a1, a0, b0, a1, b0, b1);
      }
    for (let j = 0; j < around; ++j) triangles.push(vertexCount - 1, ringVertex(rings - 1, j + 1), ringVertex(rings - 1, j));

    const positions = new Float32Array(3 * vertexCount);
    const uvs = new Float32Array(2 * vertexCount);
    const geometry = new THREE.BufferGeometry();
    geometry.setIndex(new THREE.BufferAttribute(vertexCount > 65535 ? new Uint32Array(triangles) : new Uint16Array(triangles), 1));
    geometry.setAttribute('position', new THREE.BufferAttribute(positions, 3));
    geometry.setAttribute('uv', new THREE.BufferAttribute(uvs, 2));

    // The desktop palette as a 38 x 1 texture, nearest texel: each colour a band of the range.
    const palette = meta.palette;
    const texels = new Uint8Array(4 * palette.length);
    palette.forEach((c, i) => texels.set([c[0], c[1], c[2], 255], 4 * i));
    const paletteTexture = new THREE.DataTexture(texels, palette.length, 1, THREE.RGBAFormat);
    paletteTexture.magFilter = THREE.NearestFilter;
    paletteTexture.minFilter = THREE.NearestFilter;
    paletteTexture.generateMipmaps = false;
    paletteTexture.needsUpdate = true;

    const material = new THREE.MeshPhongMaterial({ map: paletteTexture, side: THREE.DoubleSide, shininess: 25, specular: 0x1a1a1a,
                                                   polygonOffset: true, polygonOffsetFactor: 1, polygonOffsetUnits: 1 });
    const balloon = new THREE.Mesh(geometry, material);

    // Lines on the surface every 30 degrees off the axis and every 30 degrees around it.
    const lines = [];
    const every = 30 / sub;
    for (let i = every; i < rings; i += every)
      for (let j = 0; j < around; ++j) lines.push(ringVertex(i, j), ringVertex(i, j + 1));
    for (let j = 0; j < around; j += every) {
      lines.push(0, ringVertex(1, j), ringVertex(rings - 1, j), vertexCount - 1);
      for (let i = 1; i < rings - 1; ++i) lines.push(ringVertex(i, j), ringVertex(i + 1, j));
    }
    const lineGeometry = new THREE.BufferGeometry();
    lineGeometry.setIndex(new THREE.BufferAttribute(vertexCount > 65535 ? new Uint32Array(lines) : new Uint16Array(lines), 1));
    lineGeometry.setAttribute('position', geometry.attributes.position);
    const gridLines = new THREE.LineSegments(lineGeometry,
                                             new THREE.LineBasicMaterial({ color: 0x000000, transparent: true, opacity: 0.2 }));
    gridLines.frustumCulled = false;

    function levelAtVertex(k) {
      let l = 0;
      for (let s = 4 * k; s < 4 * k + 4; ++s) l += sampleW[s] * state.display[sampleIdx[s]];
      return l;
    }

    function updateBalloon() {
      for (let k = 0; k < vertexCount; ++k) {
        const t = scaleOf(levelAtVertex(k));
        positions[3 * k] = unit[3 * k] * t;
        positions[3 * k + 1] = unit[3 * k + 1] * t;
        positions[3 * k + 2] = unit[3 * k + 2] * t;
        uvs[2 * k] = t;
        uvs[2 * k + 1] = 0.5;
      }
      geometry.attributes.position.needsUpdate = true;
      geometry.attributes.uv.needsUpdate = true;
      geometry.computeVertexNormals();
      geometry.computeBoundingSphere();
    }

    // --- scene ------------------------------------------------------------------------------

    const view = el('view');
    const renderer = new THREE.WebGLRenderer({ antialias: true });
    renderer.setPixelRatio(window.devicePixelRatio || 1);
    renderer.setClearColor(0xffffff, 1);
    view.appendChild(renderer.domElement);

    const scene = new THREE.Scene();
    const camera = new THREE.PerspectiveCamera(30, 1, 0.05, 100);
    camera.up.set(0, 0, 1);
    scene.add(camera);
    scene.add(new THREE.AmbientLight(0xffffff, 0.62));
    const light = new THREE.DirectionalLight(0xffffff, 0.5);
    light.position.set(0.6, 0.8, 1.5); // follows the camera
    camera.add(light);
    scene.add(balloon);
    scene.add(gridLines);

    // The loudspeaker axis, the up direction and a small cabinet (front baffle at x = 0).
    const helpers = new THREE.Group();
    helpers.add(new THREE.ArrowHelper(new THREE.Vector3(1, 0, 0), new THREE.Vector3(0, 0, 0), 1.3, 0xc01818, 0.09, 0.05));
    helpers.add(new THREE.ArrowHelper(new THREE.Vector3(0, 0, 1), new THREE.Vector3(0, 0, 0), 1.3, 0x1f4fd0, 0.09, 0.05));
    const cabinet = new THREE.Mesh(new THREE.BoxBufferGeometry(0.2, 0.16, 0.28), new THREE.MeshLambertMaterial({ color: 0x4a4f57 }));
    cabinet.position.set(-0.1, 0, 0);
    helpers.add(cabinet);
    scene.add(helpers);

    const distance = 5.2;
    function placeCamera(azimuth, elevation) {
      camera.position.set(Math.cos(elevation * DEG) * Math.cos(azimuth * DEG), Math.cos(elevation * DEG) * Math.sin(azimuth * DEG),
                          Math.sin(elevation * DEG)).multiplyScalar(distance);
      camera.lookAt(0, 0, 0);
    }
    placeCamera(0, 0);
    const controls = new THREE.OrbitControls(camera, renderer.domElement);
    controls.enablePan = false;
    controls.minDistance = 1.2;
    controls.maxDistance = 15;
    controls.saveState(); // the front view, for "Reset view"

    function render() { renderer.render(scene, camera); }
    function resize() {
      const w = view.clientWidth, h = view.clientHeight;
      renderer.setSize(w, h);
      camera.aspect = w / h;
      camera.updateProjectionMatrix();
      render();
    }
    controls.addEventListener('change', render);
    window.addEventListener('resize', resize);

    // --- legend -----------------------------------------------------------------------------

    const legendBoxes = el('legend-boxes');
    palette.forEach((c) => {
      const box = document.createElement('div');
      box.style.background = 'rgb(' + c.join(',') + ')';
      legendBoxes.appendChild(box);
    });
    function updateLegend() {
      const unitText = state.relative ? ' dB re axis' : ' dB';
      el('legend-top').textContent = state.top.toFixed(1) + unitText;
      el('legend-bottom').textContent = state.bottom.toFixed(1) + unitText;
    }

    // --- polar plots and on-axis response ---------------------------------------------------

    const SVG = 'http://www.w3.org/2000/svg';
    function svgNode(parent, name, attributes, text) {
      const node = document.createElementNS(SVG, name);
      for (const [k, v] of Object.entries(attributes)) node.setAttribute(k, v);
      if (text !== undefined) node.textContent = text;
      parent.appendChild(node);
      return node;
    }

    function ringStep(range) { return range <= 10 ? 2 : range <= 30 ? 5 : 10; }

    // Angle a of an orbit: horizontal +a is H = a on the V = 0 row (to the left), vertical +a
    // points up, which is H = -a on the V = +90 row.
    function drawPolar(svg, vertical) {
      svg.textContent = '';
      const R = 100;
      const spacing = ringStep(state.range);
      for (let level = Math.floor(state.top / spacing) * spacing; level >= state.bottom - 1e-9; level -= spacing) {
        const r = R * scaleOf(level);
        svgNode(svg, 'circle', { class: 'grid', r: r.toFixed(2) });
        svgNode(svg, 'text', { class: 'label', x: 2, y: (-r - 1).toFixed(1) }, level.toFixed(0));
      }
      svgNode(svg, 'circle', { class: 'grid-strong', r: R });
      for (let a = -150; a <= 180; a += 30) {
        const x = -Math.sin(a * DEG), y = -Math.cos(a * DEG);
        svgNode(svg, 'line', { class: 'grid', x1: 0, y1: 0, x2: (R * x).toFixed(2), y2: (R * y).toFixed(2) });
        const label = a === 180 ? '180' : (a > 0 ? '+' : '') + a;
        svgNode(svg, 'text', { class: 'label', x: (116 * x).toFixed(1), y: (116 * y + 3.5).toFixed(1), 'text-anchor': 'middle' }, label);
      }
      const points = [];
      for (let a = -180; a < 180; a += step) {
        const d = vertical ? directionIndex(-a, 90) : directionIndex(a, 0);
        const r = R * scaleOf(state.display[d]);
        points.push((-r * Math.sin(a * DEG)).toFixed(2) + ',' + (-r * Math.cos(a * DEG)).toFixed(2));
      }
      svgNode(svg, 'path', { class: 'curve', d: 'M' + points.join('L') + 'Z' });
    }

    const plot = { left: 46, right: 510, top: 10, bottom: 180 };
    const logF0 = Math.log10(freqs[0]), logF1 = Math.log10(freqs[bins - 1]);
    const xOfHz = (hz) => plot.left + (plot.right - plot.left) * (Math.log10(hz) - logF0) / (logF1 - logF0);
    let responseTop = 0;
    const responseSpan = 60;
    const yOfDb = (db) => plot.top + (plot.bottom - plot.top) * (responseTop - db) / responseSpan;
    let marker = null;

    function drawResponse() {
      const svg = el('on-axis');
      svg.textContent = '';
      let max = -Infinity;
      for (let b = validFirst; b <= validLast; ++b) max = Math.max(max, levelAt(axisIndex, b));
      responseTop = Math.ceil((max + 2) / 10) * 10;
      for (let db = responseTop; db >= responseTop - responseSpan; db -= 10) {
        const y = yOfDb(db).toFixed(1);
        svgNode(svg, 'line', { class: 'grid', x1: plot.left, y1: y, x2: plot.right, y2: y });
        svgNode(svg, 'text', { class: 'label', x: plot.left - 4, y: +y + 3, 'text-anchor': 'end' }, db);
      }
      for (let decade = 1; decade <= 100000; decade *= 10)
        for (const m of [1, 2, 5]) {
          const hz = m * decade;
          if (hz < freqs[0] || hz > freqs[bins - 1]) continue;
          const x = xOfHz(hz).toFixed(1);
          svgNode(svg, 'line', { class: m === 1 ? 'grid-strong' : 'grid', x1: x, y1: plot.top, x2: x, y2: plot.bottom });
          svgNode(svg, 'text', { class: 'label', x: x, y: plot.bottom + 13, 'text-anchor': 'middle' },
                  hz >= 1000 ? hz / 1000 + 'k' : hz);
        }
      svgNode(svg, 'text', { class: 'label', x: plot.right, y: plot.bottom + 26, 'text-anchor': 'end' }, 'Hz');
      svgNode(svg, 'text', { class: 'label', x: 4, y: plot.top + 4 }, 'dB');
      // Outside the valid band the axis holds filler, not measurements: greyed, no curve.
      for (const [from, to] of [[plot.left, xOfHz(freqs[validFirst])], [xOfHz(freqs[validLast]), plot.right]])
        if (to - from > 0.5)
          svgNode(svg, 'rect', { class: 'outside', x: from.toFixed(1), y: plot.top, width: (to - from).toFixed(1),
                                 height: plot.bottom - plot.top });
      const points = [];
      for (let b = validFirst; b <= validLast; ++b) {
        const db = Math.min(Math.max(levelAt(axisIndex, b), responseTop - responseSpan - 5), responseTop + 5);
        points.push(xOfHz(freqs[b]).toFixed(1) + ',' + yOfDb(db).toFixed(1));
      }
      svgNode(svg, 'path', { class: 'response', d: 'M' + points.join('L') });
      marker = svgNode(svg, 'line', { class: 'marker', y1: plot.top, y2: plot.bottom });
      svg.addEventListener('click', (event) => {
        const box = svg.getBoundingClientRect();
        const x = (event.clientX - box.left) * 520 / box.width;
        const hz = Math.pow(10, logF0 + (x - plot.left) / (plot.right - plot.left) * (logF1 - logF0));
        setBin(nearestBin(hz));
      });
    }

    function updateMarker() {
      const x = xOfHz(freqs[state.bin]).toFixed(1);
      marker.setAttribute('x1', x);
      marker.setAttribute('x2', x);
    }

    // --- controls ---------------------------------------------------------------------------

    const slider = el('frequency');

    function nearestBin(hz) {
      let best = 0;
      for (let b = 1; b < bins; ++b)
        if (Math.abs(Math.log(freqs[b] / hz)) < Math.abs(Math.log(freqs[best] / hz))) best = b;
      return best;
    }

    // One-third-octave centres of the base-ten series, 1000 * 10^(k/10), named by their nominal
    // values.
    const NOMINAL = [1, 1.25, 1.6, 2, 2.5, 3.15, 4, 5, 6.3, 8];
    function thirdOctave(hz) {
      const k = Math.round(10 * Math.log10(hz / 1000));
      const nominal = NOMINAL[((k % 10) + 10) % 10] * Math.pow(10, Math.floor(k / 10) + 3);
      return { exact: 1000 * Math.pow(10, k / 10), nominal };
    }
    function snapped(bin) {
      let band = thirdOctave(freqs[bin]);
      let b = nearestBin(band.exact);
      if (Math.abs(Math.log(freqs[b] / band.exact)) > Math.log(Math.pow(10, 0.05))) b = bin; // beyond the axis
      return b;
    }

    function showFrequency() {
      const hz = freqs[state.bin];
      let text = frequencyText(hz) + ' (bin ' + state.bin + ')';
      if (state.bin < validFirst || state.bin > validLast) text += ', outside the measured band';
      if (el('snap').checked) {
        const band = thirdOctave(hz);
        const nominal = Number(band.nominal.toPrecision(3));
        text = (nominal < 1000 ? nominal + ' Hz' : nominal / 1000 + ' kHz') + ' third-octave band: ' + text;
      }
      el('frequency-text').textContent = text;
    }

    function refresh() {
      if (!data) return;
      computeDisplay();
      updateBalloon();
      updateLegend();
      drawPolar(el('polar-horizontal'), false);
      drawPolar(el('polar-vertical'), true);
      updateMarker();
      showFrequency();
      showReadout();
      render();
    }

    function setBin(bin) {
      state.bin = Math.min(Math.max(bin, 0), bins - 1);
      if (el('snap').checked) state.bin = snapped(state.bin);
      slider.value = state.bin;
      refresh();
    }

    slider.addEventListener('input', () => setBin(+slider.value));
    el('snap').addEventListener('change', () => setBin(state.bin));
    for (const radio of document.querySelectorAll('input[name=mode]'))
      radio.addEventListener('change', () => { state.relative = radio.value === 'relative' && radio.checked; refresh(); });
    el('range').addEventListener('change', () => { state.range = +el('range').value; refresh(); });
    el('axes').addEventListener('change', () => { helpers.visible = el('axes').checked; render(); });
    el('grid').addEventListener('change', () => { gridLines.visible = el('grid').checked; render(); });
    el('reset').addEventListener('click', () => { controls.reset(); render(); });

    // --- read-out under the pointer ---------------------------------------------------------

    const raycaster = new THREE.Raycaster();
    const pointer = new THREE.Vector2();
    let pointed = null; // unit vector under the pointer

    function showReadout() {
      const out = el('readout');
      if (!pointed) { out.textContent = 'Point at the balloon for its level.'; return; }
      const [h, v] = turntableAngles(pointed.x, pointed.y, pointed.z);
      const w = new Float32Array(4), idx = new Int32Array(4);
      cellWeights(h, v, idx, w, 0);
      let level = 0, nearest = 0;
      for (let s = 0; s < 4; ++s) {
        level += w[s] * state.display[idx[s]];
        if (w[s] > w[nearest]) nearest = s;
      }
      const azimuth = ((Math.atan2(pointed.y, pointed.x) / DEG) + 360) % 360;
      const elevation = Math.asin(Math.max(-1, Math.min(1, pointed.z))) / DEG;
      const d = idx[nearest];
      out.textContent = 'H = ' + h.toFixed(1) + '\u00b0, V = ' + v.toFixed(1) + '\u00b0 (azimuth ' + azimuth.toFixed(1) +
        '\u00b0, elevation ' + elevation.toFixed(1) + '\u00b0) \u00b7 ' + frequencyText(freqs[state.bin]) + ' \u00b7 ' +
        dbText(level) + (state.relative ? ' re on axis' : '') + ' \u00b7 nearest cell H = ' + meta.directions[2 * d] +
        '\u00b0, V = ' + meta.directions[2 * d + 1] + '\u00b0: ' + dbText(state.display[d]) + ', phase ' +
        data.phases[d * bins + state.bin].toFixed(1) + '\u00b0';
    }

    renderer.domElement.addEventListener('pointermove', (event) => {
      if (!data) return;
      const box = renderer.domElement.getBoundingClientRect();
      pointer.set(((event.clientX - box.left) / box.width) * 2 - 1, -((event.clientY - box.top) / box.height) * 2 + 1);
      raycaster.setFromCamera(pointer, camera);
      const hit = raycaster.intersectObject(balloon)[0];
      pointed = hit && hit.point.length() > 1e-6 ? hit.point.clone().normalize() : null;
      showReadout();
    });
    renderer.domElement.addEventListener('pointerleave', () => { pointed = null; showReadout(); });

    // --- start ------------------------------------------------------------------------------

    el('file-name').textContent = meta.file;
    el('settings').textContent = meta.settings;
    el('footer').textContent = 'Exported by Vantrel on ' + meta.exported + ' from ' + meta.source + ': ' + count +
      ' directions \u00d7 ' + bins + ' frequencies (' + frequencyText(freqs[0]) + ' to ' + frequencyText(freqs[bins - 1]) +
      '); measured band ' + frequencyText(freqs[validFirst]) + ' to ' + frequencyText(freqs[validLast]) + ', ' +
      meta.validFrom + '; levels to 0.01 dB (90 dB is magnitude 1), phases to 0.1\u00b0. Drag to turn, wheel to zoom.';

    // The page may open at a chosen view: #hz=8000&elev=45&azim=0&mode=relative&range=30&axes=0&grid=0&snap=1
    const options = new URLSearchParams(location.hash.replace(/^#/, ''));

    decodeBlock().then((decoded) => {
      data = decoded;
      if (options.get('mode') === 'relative') { document.querySelector('input[value=relative]').checked = true; state.relative = true; }
      if (options.has('range') && [...el('range').options].some((o) => o.value === options.get('range'))) {
        el('range').value = options.get('range');
        state.range = +options.get('range');
      }
      if (options.get('snap') === '1') el('snap').checked = true;
      if (options.get('axes') === '0') { el('axes').checked = false; helpers.visible = false; }
      if (options.get('grid') === '0') { el('grid').checked = false; gridLines.visible = false; }
      if (options.has('elev') || options.has('azim'))
        placeCamera(+(options.get('azim') || 0), Math.min(Math.max(+(options.get('elev') || 0), -89.9), 89.9));
      controls.update();
      drawResponse();
      const hz = +options.get('hz');
      resize();
      setBin(hz > 0 ? nearestBin(hz) : nearestBin(1000));
      document.body.dataset.state = 'ready';
    }).catch((error) => fail(error.message));
  }
})();
