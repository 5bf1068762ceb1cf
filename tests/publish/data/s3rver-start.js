// Starts @20minutes/s3rver on 127.0.0.1 for the publish tests:
// node s3rver-start.js NPM_PREFIX DATA_DIR PORT BUCKET
const path = require('node:path');
const [, , prefix, directory, port, bucket] = process.argv;
const S3rver = require(path.join(prefix, 'node_modules', '@20minutes', 's3rver'));
const fs = require('node:fs');
const server = new S3rver({
  address: '127.0.0.1',
  port: Number(port),
  directory,
  silent: true,
  vhostBuckets: false,
  configureBuckets: [{ name: bucket }],
});

// s3rver lacks the two listings a publish reads to go on with a multipart
// upload that an earlier run left (ListMultipartUploads, ListParts); they
// are answered here from its upload folders, without a signature check.
const escapeXml = (text) =>
  text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
server.middleware.unshift(async (ctx, next) => {
  const [, name, ...rest] = decodeURIComponent(ctx.path).split('/');
  if (ctx.method !== 'GET' || name !== bucket) return next();
  const key = rest.join('/');
  const uploads = path.join(directory, bucket, '._S3rver_uploads');
  const answer = (body) => {
    ctx.type = 'application/xml';
    ctx.body = `<?xml version="1.0" encoding="UTF-8"?>${body}`;
  };
  if (key === '' && ctx.query.uploads !== undefined) {
    const prefix = ctx.query.prefix || '';
    const found = (fs.existsSync(uploads) ? fs.readdirSync(uploads) : [])
      .map((id) => ({ id, file: path.join(uploads, id, 'key') }))
      .filter(({ file }) => fs.existsSync(file))
      .map(({ id, file }) => ({
        id,
        key: fs.readFileSync(file, 'utf8'),
        initiated: fs.statSync(file).mtime.toISOString(),
      }))
      .filter((upload) => upload.key.startsWith(prefix));
    return answer(
      `<ListMultipartUploadsResult><Bucket>${bucket}</Bucket>${found
        .map(
          (upload) =>
            `<Upload><Key>${escapeXml(upload.key)}</Key><UploadId>${upload.id}</UploadId>` +
            `<Initiated>${upload.initiated}</Initiated></Upload>`,
        )
        .join('')}</ListMultipartUploadsResult>`,
    );
  }
  if (key !== '' && ctx.query.uploadId !== undefined) {
    const folder = path.join(uploads, path.basename(ctx.query.uploadId));
    if (!fs.existsSync(folder)) {
      ctx.status = 404;
      return answer('<Error><Code>NoSuchUpload</Code></Error>');
    }
    const parts = fs
      .readdirSync(folder)
      .filter((file) => /^[0-9]+$/.test(file) && fs.existsSync(path.join(folder, `${file}.md5`)))
      .map(Number)
      .sort((a, b) => a - b);
    return answer(
      `<ListPartsResult><Key>${escapeXml(key)}</Key>${parts
        .map(
          (part) =>
            `<Part><PartNumber>${part}</PartNumber><ETag>"${fs
              .readFileSync(path.join(folder, `${part}.md5`), 'utf8')
              .trim()}"</ETag><Size>${fs.statSync(path.join(folder, `${part}`)).size}</Size></Part>`,
        )
        .join('')}</ListPartsResult>`,
    );
  }
  return next();
});

server
  .run()
  .then(
    (address) => console.error(`listening on ${address.port}`),
    (error) => {
      console.error(error.message);
      process.exit(1);
    },
  );
