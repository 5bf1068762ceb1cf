// Starts @20minutes/s3rver on 127.0.0.1 for the publish tests:
// node s3rver-start.js NPM_PREFIX DATA_DIR PORT BUCKET
const path = require('node:path');
const [, , prefix, directory, port, bucket] = process.argv;
const S3rver = require(path.join(prefix, 'node_modules', '@20minutes', 's3rver'));
new S3rver({
  address: '127.0.0.1',
  port: Number(port),
  directory,
  silent: true,
  vhostBuckets: false,
  configureBuckets: [{ name: bucket }],
})
  .run()
  .then(
    (address) => console.error(`listening on ${address.port}`),
    (error) => {
      console.error(error.message);
      process.exit(1);
    },
  );
